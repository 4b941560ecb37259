// The calling thread's COM state.
#pragma once

namespace pal {

// True while the calling thread has COM initialised.
bool IsComInitialized();

}  // namespace pal
