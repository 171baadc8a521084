#include "ui/common/ProgramIcons.h"

#include <QPainter>
#include <QSvgRenderer>

// The pictures sit in this static library; naming the resource here makes the linker keep it.
static void LoadIconResources() {
    static const bool loaded = [] {
        Q_INIT_RESOURCE(ProgramIcons);
        return true;
    }();
    (void)loaded;
}

namespace icons {

QPixmap Pixmap(const QString& name, int size) {
    LoadIconResources();
    QSvgRenderer renderer(QStringLiteral(":/icons/%1.svg").arg(name));
    if (!renderer.isValid() || size <= 0) return QPixmap();
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QIcon Icon(const QString& name) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap = Pixmap(name, size);
        if (!pixmap.isNull()) icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace icons
