#pragma once
// Why an update was refused: an untrusted version document or a package that
// is not the one it names. The text is the reason, for the activity log.
#include <stdexcept>

class VerificationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A signature by a key that is not trusted.
class UnknownKeyError : public VerificationError {
public:
    using VerificationError::VerificationError;
};
