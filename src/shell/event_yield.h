#pragma once
// Long loops (the folder walk, the conversion run, list copies) let the user interface
// process pending events between items. Asking the event loop on every item would cost
// more than the items themselves, so the yield is time-sliced: events are processed when
// a few milliseconds have passed since the last time.

namespace qv::shell {

// Processes pending events when the last yield is more than a few milliseconds ago.
// Does nothing without an application object.
void YieldToUi();

}  // namespace qv::shell
