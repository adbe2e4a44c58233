#include "engine/FileNameCodec.h"

namespace engine {

namespace {

int hexValue(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        return c.unicode() - 'a' + 10;
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    return -1;
}

} // namespace

QString FileNameCodec::Decode(const QString& fileName)
{
    QString out;
    out.reserve(fileName.size());
    for (qsizetype i = 0; i < fileName.size(); ++i) {
        if (fileName[i] == QLatin1Char('@') && i + 4 < fileName.size()) {
            int code = 0;
            for (qsizetype k = 1; k <= 4 && code >= 0; ++k) {
                const int digit = hexValue(fileName[i + k]);
                code = digit < 0 ? -1 : code * 16 + digit;
            }
            if (code >= 0) {
                out += QChar(static_cast<char16_t>(code));
                i += 4;
                continue;
            }
        }
        out += fileName[i];
    }
    return out;
}

QString FileNameCodec::Encode(const QString& name)
{
    QString out;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_')
            out += c;
        else
            out += QStringLiteral("@%1").arg(static_cast<uint>(u), 4, 16, QLatin1Char('0'));
    }
    return out;
}

} // namespace engine
