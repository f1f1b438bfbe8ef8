#pragma once

// A pause on the event loop: everything else goes on (the screen stays
// guarded), but what the user types or clicks meanwhile is dropped, not kept
// for later.
namespace forms {

void PauseIgnoringInput(int ms);

} // namespace forms
