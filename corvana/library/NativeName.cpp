#include "library/NativeName.h"

namespace corvana {

namespace {

constexpr char16_t kFirstKeptByte = 0xDC80;
constexpr char16_t kLastKeptByte = 0xDCFF;

bool IsKeptByte(QChar c)
{
    return c.unicode() >= kFirstKeptByte && c.unicode() <= kLastKeptByte;
}

// The length of the valid UTF-8 sequence at `at`, or 0. Overlong forms, surrogates and values
// above U+10FFFF are not valid.
qsizetype ValidSequence(QByteArrayView bytes, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
}

} // namespace

QString NativeName::Decode(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    qsizetype valid = 0;  // start of the valid run not yet appended
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype length = ValidSequence(bytes, at);
        if (length > 0) {
            at += length;
            continue;
        }
        name += QString::fromUtf8(bytes.sliced(valid, at - valid));
        name += QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[at])));
        valid = ++at;
    }
    name += QString::fromUtf8(bytes.sliced(valid));
    return name;
}

QByteArray NativeName::Encode(const QString& name)
{
    if (IsPlain(name))
        return name.toUtf8();
    QByteArray bytes;
    bytes.reserve(name.size() * 3);
    qsizetype run = 0;  // start of the text not yet appended
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!IsKeptByte(name[i]))
            continue;
        bytes += QStringView(name).sliced(run, i - run).toUtf8();
        bytes += static_cast<char>(name[i].unicode() - 0xDC00);
        run = i + 1;
    }
    bytes += QStringView(name).sliced(run).toUtf8();
    return bytes;
}

QString NativeName::Shown(const QString& name)
{
    QString shown = name;
    for (QChar& c : shown)
        if (IsKeptByte(c))
            c = QChar::ReplacementCharacter;
    return shown;
}

bool NativeName::IsPlain(const QString& name)
{
    for (const QChar c : name)
        if (IsKeptByte(c))
            return false;
    return true;
}

} // namespace corvana
