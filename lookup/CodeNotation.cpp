#include "lookup/CodeNotation.h"

#include "addresses/VendorIndex.h"

#include <QByteArrayList>

namespace zorvane::lookup {

std::optional<addresses::Address> addressInCodeBox(const QString& typed)
{
    const QByteArray text = typed.toLatin1();  // other characters become '?', which no address holds
    const auto address = addresses::readAddress(std::string_view(text.constData(), std::size_t(text.size())), true);
    if (!address)
        return std::nullopt;
    // The code form: octets split by '-', a last half octet allowed, at most 9 digits.
    const QList<QByteArray> groups = text.split('-');
    bool codeForm = address->nibbles <= 9 && groups.size() > 1;
    for (qsizetype i = 0; codeForm && i < groups.size(); ++i)
        codeForm = groups[i].size() == 2 || (i + 1 == groups.size() && groups[i].size() == 1);
    if (codeForm)
        return std::nullopt;
    return address;
}

std::optional<addresses::Address> storedCodeDigits(const QString& code)
{
    const addresses::Address d = addresses::codeDigits(std::u16string_view(
        reinterpret_cast<const char16_t*>(code.utf16()), std::size_t(code.size())));
    if (d.nibbles == 0)
        return std::nullopt;
    return d;
}

} // namespace zorvane::lookup
