// A minimal scene for the bundled example: run in this folder after
//   tessiloom-convert --pov-include hill.asc
// then: povray +Ihill-scene.pov +W640 +H480
#version 3.7;
#include "hill.inc"

global_settings { assumed_gamma 1.0 }
camera {
    location <Hill_X0 - 200, Hill_High + 250, Hill_Y0 - 300>
    look_at <(Hill_X0 + Hill_X1) / 2, Hill_Low, (Hill_Y0 + Hill_Y1) / 2>
}
light_source { <Hill_X0 - 3000, 1500, Hill_Y1 + 1000> rgb 1.2 }
sky_sphere { pigment { gradient y color_map { [0 rgb <0.75, 0.85, 1>] [1 rgb <0.3, 0.5, 0.9>] } } }
object { Hill pigment { rgb <0.45, 0.6, 0.3> } finish { diffuse 0.8 } }
