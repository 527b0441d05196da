#include "ibclient/DatabaseParamBlock.h"

#include "ibclient/Errors.h"
#include "ibclient/StringList.h"

#include <array>

namespace {

// The parameter names; a name's code is its position, from 1.
const std::array<const char*, DPBNameCount> DPBNames = {
    "cdd_pathname",
    "allocation",
    "journal",
    "page_size",
    "num_buffers",
    "buffer_length",
    "debug",
    "garbage_collect",
    "verify",
    "sweep",
    "enable_journal",
    "disable_journal",
    "dbkey_scope",
    "number_of_users",
    "trace",
    "no_garbage_collect",
    "damaged",
    "license",
    "sys_user_name",
    "encrypt_key",
    "activate_shadow",
    "sweep_interval",
    "delete_shadow",
    "force_write",
    "begin_log",
    "quit_log",
    "no_reserve",
    "user_name",
    "password",
    "password_enc",
    "sys_user_name_enc",
    "interp",
    "online_dump",
    "old_file_size",
    "old_num_files",
    "old_file_name",
    "old_start_page",
    "old_start_seqno",
    "old_start_file",
    "drop_walfile",
    "old_dump_id",
    "wal_backup_dir",
    "wal_chkptlen",
    "wal_numbufs",
    "wal_bufsize",
    "wal_grp_cmt_wait",
    "lc_messages",
    "lc_ctype",
    "cache_manager",
    "shutdown",
    "online",
    "shutdown_delay",
    "reserved",
    "overwrite",
    "sec_attach",
    "disable_wal",
    "connect_timeout",
    "dummy_packet_interval",
    "gbak_attach",
    "sql_role_name",
    "set_page_buffers",
    "working_directory",
    "sql_dialect",
    "set_db_readonly",
    "set_db_sql_dialect",
    "gfix_attach",
    "gstat_attach",
    "gbak_ods_version",
    "gbak_ods_minor_version",
    "set_group_commit",
    "gbak_validate",
    "client_interbase_var",
    "admin_option",
    "flush_interval",
    "instance_name",
    "old_overwrite",
    "archive_database",
    "archive_journals",
    "archive_sweep",
    "archive_dumps",
    "archive_recover",
    "recover_until",
    "force",
    "preallocate",
    "sys_encrypt_password",
};

// How an item of each code is written.
enum class TItemKind { None, Text, ByteNumber, Fixed, Flag, Number32 };

TItemKind KindOf(int code)
{
    switch (code) {
    case 18: // license
    case 19: // sys_user_name
    case 20: // encrypt_key
    case 28: // user_name
    case 29: // password
    case 30: // password_enc
    case 36: // old_file_name
    case 47: // lc_messages
    case 48: // lc_ctype
    case 60: // sql_role_name
    case 63: // sql_dialect
    case 75: // instance_name
    case 85: // sys_encrypt_password
        return TItemKind::Text;
    case 5: // num_buffers
    case 9: // verify
    case 13: // dbkey_scope
    case 17: // damaged
    case 24: // force_write
    case 27: // no_reserve
    case 33: // online_dump
    case 34: // old_file_size
    case 54: // overwrite
        return TItemKind::ByteNumber;
    case 10: // sweep
        return TItemKind::Fixed;
    case 21: // activate_shadow
    case 23: // delete_shadow
    case 25: // begin_log
    case 26: // quit_log
        return TItemKind::Flag;
    case 22: // sweep_interval
        return TItemKind::Number32;
    default:
        return TItemKind::None;
    }
}

constexpr int CodeLcCtype = 48;
constexpr int CodeSqlDialect = 63;

// Blanks and control characters removed at both ends.
QString TrimControls(const QString& text)
{
    int first = 0;
    int last = text.size();
    while (first < last && text.at(first).unicode() <= u' ')
        ++first;
    while (last > first && text.at(last - 1).unicode() <= u' ')
        --last;
    return text.mid(first, last - first);
}

} // namespace

QString DPBConstantName(int code)
{
    if (code < 1 || code > DPBNameCount)
        return {};
    return QString::fromLatin1(DPBNames[code - 1]);
}

int DPBConstantCode(const QString& key)
{
    for (int i = 0; i < DPBNameCount; ++i) {
        if (key == QLatin1String(DPBNames[i]))
            return i + 1;
    }
    return 0;
}

TDatabaseParamBlock BuildDatabaseParamBlock(const QStringList& lines)
{
    TDatabaseParamBlock result;
    QByteArray& block = result.Block;
    block.append(char(1)); // isc_dpb_version1

    for (const QString& line : lines) {
        const int equals = line.indexOf(u'=');
        const QString name = equals < 0 ? QString() : line.left(equals);
        if (TrimControls(name).isEmpty())
            continue;
        QString key = AsciiLower(name);
        if (key.startsWith(QLatin1String("isc_dpb_")))
            key.remove(0, 8);
        const QString valueText = line.mid(equals + 1);
        const int code = DPBConstantCode(key);
        if (code == 0)
            RaiseClientError(ibxeDPBConstantUnknown, {name});

        switch (KindOf(code)) {
        case TItemKind::Text: {
            QByteArray value = ToClientText(valueText);
            if (code == CodeSqlDialect) {
                // The dialect travels as its digit's value, not as the character.
                if (value.isEmpty())
                    StrToInt(valueText); // raises the conversion error for the empty text
                value[0] = static_cast<char>(value.at(0) - '0');
            }
            if (value.size() > MaxDPBTextValue)
                RaiseClientError(ibxeParamValueTooLong,
                    {QStringLiteral("%1 (%2 bytes, at most %3)").arg(name).arg(value.size()).arg(MaxDPBTextValue)});
            block.append(static_cast<char>(code));
            block.append(static_cast<char>(value.size()));
            block.append(value);
            if (code == CodeLcCtype)
                result.CharacterSet = valueText;
            break;
        }
        case TItemKind::ByteNumber: {
            const int value = StrToInt(valueText);
            block.append(static_cast<char>(code));
            block.append(char(1));
            block.append(static_cast<char>(value & 0xFF));
            break;
        }
        case TItemKind::Fixed:
            block.append(static_cast<char>(code));
            block.append(char(1));
            block.append(char(2));
            break;
        case TItemKind::Flag:
            block.append(static_cast<char>(code));
            block.append(char(1));
            block.append(char(0));
            break;
        case TItemKind::Number32: {
            const quint32 value = static_cast<quint32>(StrToInt(valueText));
            block.append(static_cast<char>(code));
            block.append(char(4));
            for (int shift = 0; shift < 32; shift += 8)
                block.append(static_cast<char>((value >> shift) & 0xFF));
            break;
        }
        case TItemKind::None:
            RaiseClientError(ibxeDPBConstantNotSupported, {DPBConstantName(code)});
        }
        if (block.size() > MaxDPBLength)
            RaiseClientError(ibxeParamBlockTooLong,
                {QStringLiteral("database parameter block (more than %1 bytes)").arg(MaxDPBLength)});
    }
    result.Length = static_cast<short>(block.size());
    return result;
}

int CharacterSetCodePage(const QString& characterSet)
{
    struct TCodePage {
        const char* name;
        int codePage;
    };
    static const TCodePage table[] = {
        {"NONE", 0},
        {"OCTETS", 0},
        {"ASCII", 20127},
        {"UNICODE_FSS", 65001},
        {"UTF8", 65001},
        {"SJIS_0208", 932},
        {"EUCJ_0208", 20932},
        {"DOS437", 437},
        {"DOS737", 737},
        {"DOS775", 775},
        {"DOS850", 850},
        {"DOS852", 852},
        {"DOS857", 857},
        {"DOS858", 858},
        {"DOS860", 860},
        {"DOS861", 861},
        {"DOS862", 862},
        {"DOS863", 863},
        {"DOS864", 864},
        {"DOS865", 865},
        {"DOS866", 866},
        {"DOS869", 869},
        {"ISO8859_1", 28591},
        {"ISO8859_2", 28592},
        {"ISO8859_3", 28593},
        {"ISO8859_4", 28594},
        {"ISO8859_5", 28595},
        {"ISO8859_6", 28596},
        {"ISO8859_7", 28597},
        {"ISO8859_8", 28598},
        {"ISO8859_9", 28599},
        {"ISO8859_13", 28603},
        {"WIN1250", 1250},
        {"WIN1251", 1251},
        {"WIN1252", 1252},
        {"WIN1253", 1253},
        {"WIN1254", 1254},
        {"WIN1255", 1255},
        {"WIN1256", 1256},
        {"WIN1257", 1257},
        {"WIN1258", 1258},
        {"KOI8R", 20866},
        {"KOI8U", 21866},
        {"BIG_5", 950},
        {"GB_2312", 936},
        {"GBK", 936},
        {"KSC_5601", 949},
        {"CP943C", 932},
        {"TIS620", 874},
        {"GB18030", 54936},
    };
    const QString wanted = AsciiUpper(characterSet);
    for (const TCodePage& entry : table) {
        if (wanted == QLatin1String(entry.name))
            return entry.codePage;
    }
    return 0;
}
