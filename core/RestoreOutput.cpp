#include "core/RestoreOutput.h"

namespace {

// gbak's line after it has read the whole backup (Firebird 3 and 4).
const QString ClosingLine = QStringLiteral("finishing, closing, and going home");
const QString ErrorMark = QStringLiteral("ERROR:");
const QString NotOnline = QStringLiteral("is not online");
constexpr int MostProblems = 8;

} // namespace

void TRestoreOutput::Add(const QStringList& lines)
{
    for (const QString& line : lines) {
        if (line.contains(ClosingLine))
            FFinished = true;
        else if ((line.contains(ErrorMark) || line.contains(NotOnline)) && FProblems.size() < MostProblems)
            FProblems.append(line.trimmed());
    }
}
