#include "unicode_qt.h"

#include <QChar>
#include <QList>
#include <QString>

#include "text.h"

void t_InstallQtUnicodeServices() {
    t_UnicodeServices services;
    services.NormalizeC = [](std::string_view s) {
        std::u32string chars = t_Decode(s);
        QString q = QString::fromUcs4(chars.data(), qsizetype(chars.size()));
        QList<uint> normal = q.normalized(QString::NormalizationForm_C).toUcs4();
        return t_Encode(std::u32string(normal.begin(), normal.end()));
    };
    services.Lower = [](char32_t c) {
        QString lower = QString::fromUcs4(&c, 1).toLower();
        return lower.isEmpty() ? c : char32_t(lower.toUcs4().value(0, c));
    };
    t_SetUnicodeServices(services);
}
