#pragma once
// A handler's pause: holds the calling handler for ms milliseconds while the
// window system's own events (painting, exposures, timers) go on; user input
// waits until the pause is over.
namespace areagrab {

void pumpWait(int ms);

} // namespace areagrab
