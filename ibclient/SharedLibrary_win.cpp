// Shared libraries on Windows: LoadLibrary and GetProcAddress, with the
// system's error code and its text for a failed lookup.
#include "ibclient/SharedLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <windows.h>

#include <iterator>

namespace {

// The folders of the system's DLL search, in its order: the program's
// folder, the folder of SetDllDirectory (which takes the current folder's
// place), the system folders, then the current folder and PATH.
QStringList DllSearchFolders()
{
    QStringList folders;
    wchar_t buffer[MAX_PATH * 4];
    DWORD length = GetModuleFileNameW(nullptr, buffer, DWORD(std::size(buffer)));
    if (length > 0 && length < std::size(buffer))
        folders << QFileInfo(QString::fromWCharArray(buffer, int(length))).absolutePath();
    length = GetDllDirectoryW(DWORD(std::size(buffer)), buffer);
    const bool dllDirectory = length > 0 && length < std::size(buffer);
    if (dllDirectory)
        folders << QString::fromWCharArray(buffer, int(length));
    length = GetSystemDirectoryW(buffer, UINT(std::size(buffer)));
    if (length > 0 && length < std::size(buffer))
        folders << QString::fromWCharArray(buffer, int(length));
    length = GetWindowsDirectoryW(buffer, UINT(std::size(buffer)));
    if (length > 0 && length < std::size(buffer))
        folders << QString::fromWCharArray(buffer, int(length));
    if (!dllDirectory)
        folders << QDir::currentPath();
    folders << qEnvironmentVariable("PATH").split(u';', Qt::SkipEmptyParts);
    return folders;
}

// The bitness of a PE file from its header's machine field; 0 when it is
// no PE file of x86 or x64.
int PeBits(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray dos = file.read(64);
    if (dos.size() < 64 || !dos.startsWith("MZ"))
        return 0;
    const quint32 header = quint32(quint8(dos[60])) | quint32(quint8(dos[61])) << 8 | quint32(quint8(dos[62])) << 16
        | quint32(quint8(dos[63])) << 24;
    if (!file.seek(header))
        return 0;
    const QByteArray nt = file.read(6);
    if (nt.size() < 6 || !nt.startsWith(QByteArray("PE\0\0", 4)))
        return 0;
    const quint16 machine = quint16(quint8(nt[4]) | quint8(nt[5]) << 8);
    if (machine == IMAGE_FILE_MACHINE_I386)
        return 32;
    if (machine == IMAGE_FILE_MACHINE_AMD64)
        return 64;
    return 0;
}

} // namespace

bool SharedLibrary::Open(const char* fileName)
{
    Close();
    FOtherBitness.reset();
    FHandle = reinterpret_cast<void*>(LoadLibraryA(fileName));
    if (FHandle)
        return true;
    // The system stops at the first file of that name, even one it cannot
    // load; when that one has the other bitness, the caller can tell so.
    const DWORD error = GetLastError();
    if (error != ERROR_BAD_EXE_FORMAT)
        return false;
    const QString name = QString::fromLocal8Bit(fileName);
    const int ownBits = int(sizeof(void*) * 8);
    for (const QString& folder : DllSearchFolders()) {
        const QString path = QDir::toNativeSeparators(QDir(folder).filePath(name));
        if (!QFileInfo(path).isFile())
            continue;
        const int bits = PeBits(path);
        if (bits != 0 && bits != ownBits)
            FOtherBitness = TOtherBitnessLibrary{path, bits};
        break;
    }
    return false;
}

void SharedLibrary::Close()
{
    if (!FHandle)
        return;
    FreeLibrary(reinterpret_cast<HMODULE>(FHandle));
    FHandle = nullptr;
}

QString SystemErrorText(int code)
{
    wchar_t* text = nullptr;
    const DWORD length
        = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    if (length == 0)
        return QString();
    const QString result = QString::fromWCharArray(text, static_cast<int>(length)).trimmed();
    LocalFree(text);
    return result;
}

void* SharedLibrary::Symbol(const char* name)
{
    // Without a handle a lookup would search the whole process.
    if (!FHandle) {
        FLastErrorCode = 0;
        FLastErrorText = QStringLiteral("no library loaded");
        return nullptr;
    }
    void* entry = reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(FHandle), name));
    if (!entry) {
        FLastErrorCode = static_cast<int>(GetLastError());
        FLastErrorText = SystemErrorText(FLastErrorCode);
    }
    return entry;
}
