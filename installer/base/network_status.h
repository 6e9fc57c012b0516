#pragma once

// False only when the system's network list manager answers that the
// machine has no Internet connection; true when it says connected and also
// when it cannot be asked. Initialises COM on the calling thread for the
// duration of the call.
bool IsInternetConnected();
