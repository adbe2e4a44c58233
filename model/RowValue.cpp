#include "model/RowValue.h"

namespace engine {

namespace {

QString latin1Text(const QByteArray& bytes, std::uint16_t)
{
    return QString::fromLatin1(bytes);
}

} // namespace

RowValue RowValue::Null()
{
    RowValue v;
    v.m_isNull = true;
    v.m_text = QStringLiteral("null");
    v.m_hasText = true;
    v.m_hasBytes = true;
    return v;
}

RowValue RowValue::Text(const QString& text)
{
    RowValue v;
    v.m_text = text;
    v.m_hasText = true;
    return v;
}

RowValue RowValue::Stored(const QByteArray& bytes, const QString& shown)
{
    RowValue v;
    v.m_text = shown;
    v.m_bytes = bytes;
    v.m_hasText = true;
    v.m_hasBytes = true;
    return v;
}

RowValue RowValue::Ascii(const char* chars, std::size_t size)
{
    return Stored(QByteArray(chars, static_cast<qsizetype>(size)), &latin1Text);
}

RowValue RowValue::Stored(const QByteArray& bytes, ShowFunction show, std::uint16_t tag)
{
    RowValue v;
    v.m_bytes = bytes;
    v.m_hasBytes = true;
    v.m_show = show;
    v.m_tag = tag;
    return v;
}

const QString& RowValue::text() const
{
    if (!m_hasText) {
        m_text = m_show ? m_show(m_bytes, m_tag) : QString::fromUtf8(m_bytes);
        m_hasText = true;
    }
    return m_text;
}

const QByteArray& RowValue::bytes() const
{
    if (!m_hasBytes) {
        m_bytes = m_text.toUtf8();
        m_hasBytes = true;
    }
    return m_bytes;
}

} // namespace engine
