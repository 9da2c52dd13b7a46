#pragma once
// The password of a run, kept as a credential deserves: one owner in memory, its bytes wiped
// when it goes, and (on Windows) encrypted for this process between uses. Everything else
// holds it by reference and asks for the clear text only for the one call that needs it.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// Overwrites `size` bytes at `data` with zeros in a way the compiler may not leave out.
void wipe(void* data, std::size_t size);
// Wipes every byte `text` holds (its whole capacity), then empties it.
void wipe(std::string& text);

class Password {
  public:
    Password() = default;
    Password(const char* data, std::size_t size);
    explicit Password(std::string_view clear) : Password(clear.data(), clear.size()) {}
    ~Password();
    Password(Password&& other) noexcept;
    Password& operator=(Password&& other) noexcept;
    Password(const Password&) = delete;
    Password& operator=(const Password&) = delete;

    bool empty() const { return size_ == 0; }
    // Windows would end the password at a NUL character: such a password is never used.
    bool holdsNul() const;

    // The clear text for as long as this lives; wiped when it goes.
    class Clear {
      public:
        ~Clear() { wipe(text_); }
        Clear(const Clear&) = delete;
        Clear& operator=(const Clear&) = delete;
        const std::string& text() const { return text_; }

      private:
        friend class Password;
        explicit Clear(const Password& password);
        std::string text_;
    };
    Clear reveal() const { return Clear(*this); }

  private:
    void release();

    std::unique_ptr<unsigned char[]> bytes_; // encrypted on Windows
    std::size_t size_ = 0;                   // the password's length
    std::size_t stored_ = 0;                 // bytes_'s length (a whole number of cipher blocks on Windows)
};

// Keeps the secrets of this process from core dumps and from other users' debuggers
// (Linux: not dumpable, no core file). Called at start-up by both programs, before any
// password is read.
void keepSecretsInProcess();

} // namespace platform
