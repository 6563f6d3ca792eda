#pragma once

// Controls stand at fixed places in the main window, as the layout gives them.
namespace tolmar {

template <typename Widget>
Widget *place(Widget *widget, const char *name, int left, int top, int width, int height)
{
    widget->setObjectName(name);
    widget->setGeometry(left, top, width, height);
    return widget;
}

} // namespace tolmar
