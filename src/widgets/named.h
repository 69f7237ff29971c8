#pragma once

#include <QString>

namespace tunevale {

// Gives a widget the design's name of its control as objectName, by which tests find it.
template <typename Widget> Widget* named(Widget* widget, const char16_t* name)
{
    widget->setObjectName(QString::fromUtf16(name));
    return widget;
}

} // namespace tunevale
