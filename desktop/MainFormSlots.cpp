// TMainForm: what the state slots hold, shown in "State" > "Slot". Each
// slot's item gets the time its state was saved in the shortcut column and a
// small picture of the state's frame as its icon, read from the state files
// when the menu opens and after a save; the items' captions stay "Slot 1" to
// "Slot 9" and choosing a slot works as ever, an empty one included.
#include "MainForm.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QProxyStyle>
#include <QStyleFactory>
#include <vector>

#include "SaveState.h"

namespace {

// A state is about 104 KB (125 KB in the hardware models): a larger
// file is no state of ours, and is not read at all.
constexpr qint64 kMaxStateBytes = 1 << 20;

// The thumbnails are the picture at a quarter of its size each way: 64 x 48,
// or 64 x 56 and 64 x 60 for a Master System II's taller pictures. The menu's
// icons are this size (square: the style's icon metric is one number).
constexpr int kThumbnailScale = 4;
constexpr int kSlotIconSize = 64;

// The slot menu's own style: the application's, with icons of the
// thumbnails' size instead of the 16 pixels of every other menu.
class TSlotMenuStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_SmallIconSize) return kSlotIconSize;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

struct TSlotContents {
    enum class TKind { Empty, Unreadable, State } Kind = TKind::Empty;
    QDateTime Saved;
    QImage Picture;
};

// What a slot's file holds. Only a regular file is read (a pipe would block
// the menu), and only up to the largest a state can be.
TSlotContents ReadSlot(const QString& path) {
    TSlotContents contents;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return contents;
    contents.Kind = TSlotContents::TKind::Unreadable;
    if (!info.isFile() || info.size() > kMaxStateBytes) return contents;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return contents;
    const QByteArray state = file.read(kMaxStateBytes + 1);
    if (state.size() > kMaxStateBytes) return contents;
    std::vector<uint8_t> image(CONSOLE_MAX_FRAME_IMAGE_SIZE);
    std::size_t imageSize = 0;
    if (!SMS_StateFrameImage(reinterpret_cast<const uint8_t*>(state.constData()), std::size_t(state.size()),
                             image.data(), imageSize))
        return contents;
    QImage picture;
    if (!picture.loadFromData(image.data(), int(imageSize), "BMP")) return contents;
    contents.Kind = TSlotContents::TKind::State;
    contents.Saved = info.lastModified();
    contents.Picture = picture;
    return contents;
}

// "10 Dec 02:31" in local time; a state of another year says which.
QString SavedText(const QDateTime& saved) {
    const QDateTime local = saved.toLocalTime();
    return local.toString(local.date().year() == QDate::currentDate().year() ? "d MMM HH:mm" : "d MMM yyyy HH:mm");
}

QImage Thumbnail(const QImage& picture) {
    return picture.scaled(picture.width() / kThumbnailScale, picture.height() / kThumbnailScale, Qt::IgnoreAspectRatio,
                          Qt::SmoothTransformation);
}

// A slot without a picture still has an icon, an empty outline of a
// thumbnail's size: the styles mark a chosen item with an icon by a frame
// around it, where one without would get a check mark drawn across the whole
// icon column (a dot the size of a thumbnail), and every row keeps one height.
QIcon NoPicture() {
    QPixmap pixmap(kSlotIconSize, kSlotIconSize * 3 / 4);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QPen(QColor(128, 128, 128, 160), 1, Qt::DotLine));
    painter.drawRect(pixmap.rect().adjusted(2, 2, -3, -3));
    return QIcon(pixmap);
}

}  // namespace

void TMainForm::WatchSlotMenu(QMenu* slotMenu) {
    // The proxy makes a style of its own of the application's kind, so the
    // other menus' metrics stay as they are.
    auto* style = new TSlotMenuStyle(QStyleFactory::create(QApplication::style()->name()));
    style->setParent(slotMenu);
    slotMenu->setStyle(style);
    connect(slotMenu, &QMenu::aboutToShow, this, [this] { RefreshSlotMenu(); });
}

void TMainForm::RefreshSlotMenu() {
    for (int slot = 1; slot <= 9; ++slot) RefreshSlotItem(slot);
}

// The text after the tab stands in the shortcut column; the item has no
// shortcut of its own, and its caption is the part before the tab.
void TMainForm::RefreshSlotItem(int slot) {
    QAction* item = Item("mSlot" + QString::number(slot));
    if (item == nullptr) return;
    // The caption as built, its mnemonic ("Slot &3") included.
    const QString caption = item->text().section('\t', 0, 0);
    const QString path = StateFile(slot);
    // With no cartridge there are no slots' files: the plain captions.
    if (path.isEmpty()) {
        item->setText(caption);
        item->setIcon(QIcon());
        return;
    }
    const TSlotContents contents = ReadSlot(path);
    switch (contents.Kind) {
        case TSlotContents::TKind::Empty:
            item->setText(caption + "\tempty");
            item->setIcon(NoPicture());
            break;
        case TSlotContents::TKind::Unreadable:
            item->setText(caption + "\tunreadable");
            item->setIcon(NoPicture());
            break;
        case TSlotContents::TKind::State:
            item->setText(caption + "\t" + SavedText(contents.Saved));
            item->setIcon(QIcon(QPixmap::fromImage(Thumbnail(contents.Picture))));
            break;
    }
}
