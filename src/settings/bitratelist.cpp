#include "settings/bitratelist.h"

#include <array>

namespace tunevale {

namespace {

constexpr std::array<int, 15> kBitrates{8,   16,  24,  32,  48,  56,  64, 96,
                                        112, 128, 160, 192, 224, 256, 320};

} // namespace

QStringList bitrateListTexts()
{
    QStringList texts;
    for (int kbps : kBitrates)
        texts.append(QString::number(kbps));
    return texts;
}

int BitrateListIndex(int kbps)
{
    for (std::size_t i = 1; i < kBitrates.size(); ++i) {
        if (kBitrates[i] == kbps)
            return static_cast<int>(i);
    }
    return 0;
}

} // namespace tunevale
