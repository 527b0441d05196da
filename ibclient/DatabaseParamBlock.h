#pragma once
// The database parameter block: the connection's name=value lines turned into
// the byte block that isc_attach_database receives.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Number of names in the parameter name table; a name's code is its position, from 1.
constexpr int DPBNameCount = 85;

// The table's name for a code from 1 to DPBNameCount (without "isc_dpb_"); empty otherwise.
QString DPBConstantName(int code);
// The code of a key (lower case, without "isc_dpb_"), exact comparison; 0 when the table does not hold it.
int DPBConstantCode(const QString& key);

// The longest text value an item's length byte can describe.
constexpr int MaxDPBTextValue = 255;
// The longest block the attach call's 16-bit length can describe.
constexpr int MaxDPBLength = 32767;

struct TDatabaseParamBlock {
    QByteArray Block;
    short Length = 0;
    // Set by an lc_ctype line (the last one wins): the character set the connection is to use.
    std::optional<QString> CharacterSet;
};

// Builds the block from the lines, in their order. Raises client error 114 for
// a name the table does not hold (the name as written), client error 11 for a
// known name without an encoding, the conversion error for a number that is
// not an integer (and for an empty sql_dialect value), client error 122 for a
// text value longer than MaxDPBTextValue bytes and client error 123 for a block
// longer than MaxDPBLength bytes.
TDatabaseParamBlock BuildDatabaseParamBlock(const QStringList& lines);

// The code page of a character set name (as lc_ctype names it, any letter case); 0 when unknown or NONE.
int CharacterSetCodePage(const QString& characterSet);
