#pragma once

// What the installer asks Windows about the machine it runs on.

// True when the version query reports a major version above 5 (Vista or later).
bool IsVistaOrLater();
