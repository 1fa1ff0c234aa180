#pragma once

#include <string>

namespace tessiloom {

// What a conversion run needs from whoever starts it: the window, or the command line. Each value
// is asked for at the moment the run needs it, never copied when the run starts.
class ConversionHost {
  public:
    virtual ~ConversionHost() = default;

    // The source path as typed.
    virtual std::string SourcePathText() = 0;
    // True when the preset height range is to be used instead of the range of the data.
    virtual bool UsePresetRanges() = 0;
    // The heights that map to 0 and to 65535, as typed (read whether or not they are in use).
    virtual std::string MinPresetText() = 0;
    virtual std::string MaxPresetText() = 0;

    // Replaces the status line.
    virtual void ShowStatus(const std::string& text) = 0;
    // Shows `text` in a modal message box with an OK button, no icon and the title "Tessiloom";
    // returns when it has been dismissed.
    virtual void ShowMessage(const std::string& text) = 0;
    // On: the busy pointer over the whole screen; off: the normal pointer.
    virtual void SetBusyPointer(bool on) = 0;
    // Lets pending window events (repaint, input) be delivered, then returns.
    virtual void DoEvents() = 0;
};

}  // namespace tessiloom
