#include "namecleaning.h"

#include <QStringList>

QString NameCleaning::replaceString(QString text)
{
    static const QStringList removed = {
        QStringLiteral("\\"), QStringLiteral("/"), QStringLiteral(":"), QStringLiteral("*"),
        QStringLiteral("？"), QStringLiteral("?"), QStringLiteral("\""), QStringLiteral("'"),
        QStringLiteral("“"),  QStringLiteral("”"), QStringLiteral("‘"), QStringLiteral("’"),
        QStringLiteral("<"),  QStringLiteral("《"), QStringLiteral(">"), QStringLiteral("》"),
        QStringLiteral("|"),  QStringLiteral("  "),
    };
    text = text.trimmed();
    for (const QString& piece : removed)
        text.remove(piece);
    return text;
}

QString NameCleaning::productName(QString goodname)
{
    return replaceString(goodname.replace('*', 'x'));
}
