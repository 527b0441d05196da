#include "Appearance.h"

#include <QWidget>

void ApplyAppearance(QWidget& window)
{
    Q_UNUSED(window);
}
