#pragma once
// While the program waits for a download or a pause, the window keeps
// repainting and answering the window system, but the program's handlers
// must not run. The window marks its objects with these Qt properties.
namespace nimbrel {

// A widget whose clicks and keys are delivered even during a wait: the exit.
inline constexpr char kPassWhileBusy[] = "nimbrelPassWhileBusy";
// A timer whose ticks wait while the program waits; one that fell due ticks
// once when the wait ends, as a busy thread's queue gets one timer message.
inline constexpr char kHoldWhileBusy[] = "nimbrelHoldWhileBusy";

}  // namespace nimbrel
