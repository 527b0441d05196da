#include "core/VerboseLine.h"

namespace {

QString NameIn(QStringView text)
{
    QString name = text.trimmed().toString();
    if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
        name = name.mid(1, name.size() - 2);
    return name;
}

} // namespace

TVerboseLine ParseVerboseLine(const QString& line, TJobStage stage)
{
    QStringView text = QStringView(line).trimmed();
    if (text.startsWith(u"gbak:"))
        text = text.mid(5).trimmed();
    TVerboseLine parsed;
    const bool backup = stage == TJobStage::Backup;
    const QStringView dataPrefix = backup ? QStringView(u"writing data for table ") : u"restoring data for table ";
    const QStringView tablePrefix = backup ? QStringView(u"writing table ") : u"restoring table ";
    const QStringView indexPrefix = backup ? QStringView(u"writing index ") : u"restoring index ";
    const QStringView grantPrefix = backup ? QStringView(u"writing privilege") : u"restoring privilege";
    const QStringView recordsSuffix = backup ? QStringView(u" records written") : u" records restored";
    const QStringView activatePrefix = u"activating and creating deferred index ";
    if (text.startsWith(dataPrefix)) {
        parsed.kind = TVerboseLine::TableData;
        parsed.name = NameIn(text.mid(dataPrefix.size()));
    } else if (text.startsWith(tablePrefix)) {
        parsed.kind = TVerboseLine::TableMeta;
        parsed.name = NameIn(text.mid(tablePrefix.size()));
    } else if (text.startsWith(indexPrefix)) {
        parsed.kind = TVerboseLine::Index;
        parsed.name = NameIn(text.mid(indexPrefix.size()));
    } else if (text.startsWith(grantPrefix)) {
        parsed.kind = TVerboseLine::Grant;
    } else if (text.endsWith(recordsSuffix)) {
        bool ok = false;
        parsed.count = text.left(text.size() - recordsSuffix.size()).trimmed().toDouble(&ok);
        parsed.kind = ok ? TVerboseLine::Records : TVerboseLine::Other;
    } else if (!backup && text == u"creating indexes") {
        parsed.kind = TVerboseLine::CreatingIndexes;
    } else if (!backup && text.startsWith(activatePrefix)) {
        parsed.kind = TVerboseLine::ActivateIndex;
        parsed.name = NameIn(text.mid(activatePrefix.size()));
    }
    return parsed;
}
