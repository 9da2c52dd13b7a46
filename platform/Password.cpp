#include "platform/Password.h"

#include <cstring>
#include <utility>
#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <dpapi.h>
#else
#include <sys/prctl.h>
#include <sys/resource.h>
#endif

namespace platform {

void wipe(void* data, std::size_t size) {
    if (!data || size == 0) return;
#ifdef _WIN32
    SecureZeroMemory(data, size);
#else
    ::explicit_bzero(data, size);
#endif
}

void wipe(std::string& text) {
    // Growing within the capacity never moves the bytes, so every one of them is reached.
    text.resize(text.capacity());
    wipe(text.data(), text.size());
    text.clear();
}

Password::Password(const char* data, std::size_t size) : size_(size) {
    if (size == 0) return;
#ifdef _WIN32
    constexpr std::size_t Block = CRYPTPROTECTMEMORY_BLOCK_SIZE;
    stored_ = (size + Block - 1) / Block * Block;
#else
    stored_ = size;
#endif
    bytes_ = std::make_unique<unsigned char[]>(stored_);
    std::memcpy(bytes_.get(), data, size);
#ifdef _WIN32
    // Should it fail (it does not on any supported Windows), the bytes stay in clear.
    CryptProtectMemory(bytes_.get(), static_cast<DWORD>(stored_), CRYPTPROTECTMEMORY_SAME_PROCESS);
#endif
}

Password::~Password() {
    release();
}

Password::Password(Password&& other) noexcept
    : bytes_(std::move(other.bytes_)), size_(std::exchange(other.size_, 0)),
      stored_(std::exchange(other.stored_, 0)) {}

Password& Password::operator=(Password&& other) noexcept {
    if (this != &other) {
        release();
        bytes_ = std::move(other.bytes_);
        size_ = std::exchange(other.size_, 0);
        stored_ = std::exchange(other.stored_, 0);
    }
    return *this;
}

void Password::release() {
    if (bytes_) wipe(bytes_.get(), stored_);
    bytes_.reset();
    size_ = stored_ = 0;
}

bool Password::holdsNul() const {
    const Clear clear = reveal();
    return clear.text().find('\0') != std::string::npos;
}

Password::Clear::Clear(const Password& password) {
    if (password.size_ == 0) return;
#ifdef _WIN32
    // Decrypted into a copy of its own, so that calls on several threads never share one.
    std::unique_ptr<unsigned char[]> copy = std::make_unique<unsigned char[]>(password.stored_);
    std::memcpy(copy.get(), password.bytes_.get(), password.stored_);
    CryptUnprotectMemory(copy.get(), static_cast<DWORD>(password.stored_), CRYPTPROTECTMEMORY_SAME_PROCESS);
    text_.assign(reinterpret_cast<const char*>(copy.get()), password.size_);
    wipe(copy.get(), password.stored_);
#else
    text_.assign(reinterpret_cast<const char*>(password.bytes_.get()), password.size_);
#endif
}

void keepSecretsInProcess() {
#ifndef _WIN32
    // Not dumpable: no core file, and no other user's debugger or /proc reader gets at the memory.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
#endif
}

} // namespace platform
