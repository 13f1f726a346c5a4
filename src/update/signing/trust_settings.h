#pragma once
// What the local configuration and the build say about signed updates.
#include "update/signing/update_verification.h"

// "signingKeys" (keys separated by spaces), or when that is missing or empty
// the keys built into the program; "requireSignature" ("yes"); and
// "signedSequence", the highest sequence accepted, whose presence alone
// requires signatures from then on. Raises VerificationError for a malformed
// key or sequence and the errors of ReadLocalConfig.
TrustSettings ReadTrustSettings();
