#pragma once

#include <QAnyStringView>

namespace tunevale {

// Gives a widget the design's name of its control as objectName, by which tests find it.
template <typename Widget> Widget* named(Widget* widget, QAnyStringView name)
{
    widget->setObjectName(name);
    return widget;
}

} // namespace tunevale
