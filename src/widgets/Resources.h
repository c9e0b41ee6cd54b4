#pragma once

namespace tetrapan {

// Registers the images and forms compiled into the gui library. A static library's resources are not
// linked in by themselves; call once before the first image is looked up (safe to call again).
void initResources();

} // namespace tetrapan
