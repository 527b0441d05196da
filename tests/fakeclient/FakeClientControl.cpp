#include "FakeClientControl.h"

#include "ibclient/SharedLibrary.h"

#include <cstdlib>
#include <stdexcept>

namespace {

// The same file again: the platform hands out the module that the binding
// loaded, so both reach one fake.
SharedLibrary& fakeLibrary()
{
    static SharedLibrary library;
    if (!library.IsOpen()) {
        const char* name = std::getenv("ZUR_CLIENT_LIBRARY");
        if (!name || !library.Open(name))
            throw std::runtime_error("the fake client library is not loadable (ZUR_CLIENT_LIBRARY)");
    }
    return library;
}

template <typename F> F resolve(const char* name)
{
    void* entry = fakeLibrary().Symbol(name);
    if (!entry)
        throw std::runtime_error(std::string("fake client control missing: ") + name);
    return reinterpret_cast<F>(entry);
}

} // namespace

namespace fake {

void Reset()
{
    resolve<void (*)()>("fake_reset")();
}

QStringList Calls()
{
    return QString::fromLatin1(resolve<const char* (*)()>("fake_log")()).split(u'\n', Qt::SkipEmptyParts);
}

int CallCount(const char* function)
{
    return resolve<int (*)(const char*)>("fake_count")(function);
}

QByteArray LastBlock(const char* function)
{
    const char* bytes = nullptr;
    const int length = resolve<int (*)(const char*, const char**)>("fake_last_block")(function, &bytes);
    return QByteArray(bytes, length);
}

QByteArray LastName(const char* function)
{
    return QByteArray(resolve<const char* (*)(const char*)>("fake_last_text")(function));
}

void Fail(const char* function, long sqlCode, const std::vector<StatusText>& texts)
{
    std::vector<long> codes;
    std::vector<const char*> strings;
    for (const StatusText& t : texts) {
        codes.push_back(t.code);
        strings.push_back(t.text);
    }
    resolve<void (*)(const char*, long, int, const long*, const char* const*)>("fake_fail")(
        function, sqlCode, static_cast<int>(codes.size()), codes.data(), strings.data());
}

void PushQueryReply(const QByteArray& reply)
{
    resolve<void (*)(const char*, int)>("fake_push_query_reply")(reply.constData(), reply.size());
}

void FailQueryWithReply(const QByteArray& reply, long sqlCode, const StatusText& text)
{
    resolve<void (*)(const char*, int, long, long, const char*)>("fake_fail_query_with_reply")(
        reply.constData(), reply.size(), sqlCode, text.code, text.text);
}

void SetInfoReply(const QByteArray& reply)
{
    resolve<void (*)(const char*, int)>("fake_set_info_reply")(reply.constData(), reply.size());
}

} // namespace fake
