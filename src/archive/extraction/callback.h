#pragma once
#include <exception>
#include <string>

#include "archive/archive_error.h"
#include "archive/codec/archive_handler.h"
#include "archive/codec/com.h"

namespace archive {

// What the open and extract callbacks share: the handler's password and
// hooks, and the text of the latest failure.
class Callback {
public:
    Callback(const Callback&) = delete;
    Callback& operator=(const Callback&) = delete;
    virtual ~Callback() = default;

    virtual std::wstring ErrorMessage() const { return error_message_; }

protected:
    explicit Callback(const ArchiveHandler& handler) : handler_(handler) {}

    const ArchiveHandler& Handler() const { return handler_; }
    void SetErrorMessage(std::wstring message) { error_message_ = std::move(message); }

    // The handler's password, else the password hook's; without one the
    // message is "Password is not defined" and `failure` is returned.
    HRESULT ProvidePassword(BSTR* password, HRESULT failure);

    // Runs one slot for the codec library, which must never see an
    // exception: an ArchiveError becomes E_OUTOFMEMORY, and any other failure
    // (a hook that throws) becomes the error message and stops the operation.
    template <class Body>
    HRESULT Shielded(Body&& body) noexcept
    {
        try {
            return body();
        } catch (const ArchiveError&) {
            return hresult::kOutOfMemory;
        } catch (const std::exception& failure) {
            return Stop(failure.what());
        } catch (...) {
            return Stop("Unknown exception");
        }
    }

private:
    HRESULT Stop(const char* utf8_message) noexcept;

    const ArchiveHandler& handler_;
    std::wstring error_message_;
};

}  // namespace archive
