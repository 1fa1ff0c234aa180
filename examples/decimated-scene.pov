// A mesh that is no grid beside the height field Tessiloom samples from it. Run in this folder after
//   tessiloom-convert --mesh --size 257x257 --pov-include decimated.asc
// then: povray +Idecimated-scene.pov +W960 +H400
#version 3.7;
#include "decimated.inc"
#include "decimated-mesh.inc"

global_settings { assumed_gamma 1.0 }
camera {
    location <950, 1500, -1200>
    look_at <950, 40, 380>
    angle 68
}
light_source { <-3000, 2500, -1500> rgb 1.3 }
sky_sphere { pigment { gradient y color_map { [0 rgb <0.75, 0.85, 1>] [1 rgb <0.3, 0.5, 0.9>] } } }
// Left: the listing's own triangles, flat, each edge showing.
object { Decimated_Mesh pigment { rgb <0.8, 0.55, 0.35> } finish { diffuse 0.8 } }
// Right: the height field, placed by the include, moved beside them.
object { Decimated pigment { rgb <0.45, 0.6, 0.3> } finish { diffuse 0.8 } translate <1100, 0, 0> }
