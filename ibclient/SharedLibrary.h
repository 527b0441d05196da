#pragma once
// Loading a shared library by file name and looking up its exports: the
// platform's part of the binding.

#include <QString>

#include <optional>

// A library file that the system's search found first under the name asked
// for, but that cannot be loaded into this process: it was built for the other
// bitness (Windows' error 193, ERROR_BAD_EXE_FORMAT).
struct TOtherBitnessLibrary {
    QString path; // as the system names it
    int bits = 0; // 32 or 64
};

class SharedLibrary {
public:
    SharedLibrary() = default;
    ~SharedLibrary() { Close(); }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Loads through the platform's library search; false when it fails.
    bool Open(const char* fileName);
    // After a failed Open: the file of the other bitness that the search
    // found, when that is why (always empty on Unix).
    const std::optional<TOtherBitnessLibrary>& OtherBitness() const { return FOtherBitness; }
    void Close();
    bool IsOpen() const { return FHandle != nullptr; }
    // The export, or null; a null leaves the platform's error for LastError*.
    void* Symbol(const char* name);

    // The platform's last error code and text, for a failed lookup.
    int LastErrorCode() const { return FLastErrorCode; }
    const QString& LastErrorText() const { return FLastErrorText; }

private:
    void* FHandle = nullptr;
    int FLastErrorCode = 0;
    QString FLastErrorText;
    std::optional<TOtherBitnessLibrary> FOtherBitness;
};

#ifdef _WIN32
// The system's text for a Windows error code (FormatMessage), without the
// line break that ends it; empty when the system has none.
QString SystemErrorText(int code);
#endif
