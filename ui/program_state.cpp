#include "ui/program_state.h"

namespace tessiloom {

QString LastFolder;
QString ChosenPath;

}  // namespace tessiloom
