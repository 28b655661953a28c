// The debugger's VDP and sound pages.
#include "DebuggerChipViews.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cstring>

#include "DebuggerText.h"
#include "PsgReadout.h"

namespace {

// A 0x00RRGGBB buffer as an image (the buffer's layout is Format_RGB32's).
QImage Picture(const uint32_t* pixels, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), pixels + static_cast<std::size_t>(y) * width, width * sizeof(uint32_t));
    return image;
}

QTableWidget* Table(const QStringList& columns, QWidget* parent, const char* name) {
    auto* table = new QTableWidget(0, static_cast<int>(columns.size()), parent);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(columns);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setFont(MonospaceFont());
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    return table;
}

void SetCell(QTableWidget* table, int row, int column, const QString& text) {
    QTableWidgetItem* item = table->item(row, column);
    if (item == nullptr) table->setItem(row, column, item = new QTableWidgetItem);
    if (item->text() != text) item->setText(text);
}

QWidget* Scrolled(QWidget* inner, QWidget* parent) {
    auto* area = new QScrollArea(parent);
    area->setWidget(inner);
    area->setWidgetResizable(false);
    return area;
}

}  // namespace

// ---------------------------------------------------------------- pixels

TPixelView::TPixelView(int scale, QWidget* parent) : QWidget(parent), scale_(scale) {}

void TPixelView::SetImage(const QImage& image) {
    const bool resized = image.size() != image_.size();
    image_ = image;
    if (resized) {
        setFixedSize(sizeHint());
        updateGeometry();
    }
    update();
}

QSize TPixelView::sizeHint() const { return image_.size() * scale_; }

void TPixelView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(QRect(QPoint(0, 0), image_.size() * scale_), image_);
}

void TPixelView::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint() / scale_;
    if (image_.rect().contains(at)) emit Clicked(at.x(), at.y());
}

// ---------------------------------------------------------------- VDP

TDebuggerVdpView::TDebuggerVdpView(QWidget* parent)
    : QWidget(parent), nameTable_(new T_VDP_NAME_TABLE()), spriteTable_(new T_VDP_SPRITE_TABLE()) {
    for (std::vector<uint32_t>& sheet : tileSheets_) sheet.assign(VDP_TILE_SHEET_WIDTH * VDP_TILE_SHEET_HEIGHT, 0);
    pages_ = new QTabWidget(this);
    pages_->setObjectName("VdpPages");
    pages_->addTab(BuildTilePage(), "Tiles");
    pages_->addTab(BuildNamePage(), "Name Table");
    pages_->addTab(BuildSpritePage(), "Sprites");
    palette_ = Table({}, this, "Palette");
    palette_->setColumnCount(16);
    palette_->setRowCount(2);
    palette_->setVerticalHeaderLabels({"0-15", "16-31"});
    palette_->verticalHeader()->show();
    palette_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    palette_->horizontalHeader()->setStretchLastSection(false);
    palette_->setSelectionMode(QAbstractItemView::NoSelection);
    pages_->addTab(palette_, "Palette");
    registers_ = Table({"Register", "Name", "Value"}, this, "VdpRegisters");
    pages_->addTab(registers_, "Registers");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);
}

QWidget* TDebuggerVdpView::BuildTilePage() {
    auto* page = new QWidget(this);
    tilePalette_ = new QComboBox(page);
    tilePalette_->setObjectName("TilePalette");
    tilePalette_->addItems({"Background palette (CRAM 0-15)", "Sprite palette (CRAM 16-31)"});
    tiles_ = new TPixelView(3, page);
    tiles_->setObjectName("TileSheet");
    tileText_ = new QLabel("Click a tile to see its number and address.", page);
    tileText_->setObjectName("TileText");
    connect(tilePalette_, &QComboBox::currentIndexChanged, this, [this] { ShowTiles(); });
    connect(tiles_, &TPixelView::Clicked, this, [this](int x, int y) {
        // Shown as two halves side by side: tiles 0-255, then 256-511.
        const int half = x / static_cast<int>(VDP_TILE_SHEET_WIDTH);
        const int column = (x % static_cast<int>(VDP_TILE_SHEET_WIDTH)) / 8;
        const int tile = half * 256 + (y / 8) * static_cast<int>(VDP_TILE_SHEET_COLUMNS) + column;
        tileText_->setText(QString("Tile %1 (#%2) at VRAM #%3%4")
                               .arg(tile)
                               .arg(Hex(tile, 3))
                               .arg(Hex(tile * 32, 4))
                               .arg(tile >= 256 ? ", in the half sprites use with register 6 bit 2" : ""));
    });
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(tilePalette_);
    layout->addWidget(new QLabel("Tiles 0-255 (left) and 256-511 (right), 16 to a row", page));
    layout->addWidget(tiles_);
    layout->addStretch(1);
    layout->addWidget(tileText_);
    return page;
}

QWidget* TDebuggerVdpView::BuildNamePage() {
    auto* page = new QWidget(this);
    names_ = new TPixelView(2, page);
    names_->setObjectName("NameTableView");
    nameText_ = new QLabel(page);
    nameText_->setObjectName("NameText");
    nameText_->setWordWrap(true);
    connect(names_, &TPixelView::Clicked, this, [this](int x, int y) {
        const T_VDP_NAME_TABLE& table = *nameTable_;
        const T_VDP_NAME_ENTRY& entry = table.Entries[y / 8][x / 8];
        nameText_->setText(QString("Column %1, row %2 at VRAM #%3: tile %4%5%6%7%8")
                               .arg(x / 8)
                               .arg(y / 8)
                               .arg(Hex(table.Address + 2 * ((y / 8) * VDP_NAME_COLUMNS + x / 8), 4))
                               .arg(entry.Tile)
                               .arg(entry.FlipX ? ", flipped horizontally" : "")
                               .arg(entry.FlipY ? ", flipped vertically" : "")
                               .arg(entry.SpritePalette ? ", sprite palette" : "")
                               .arg(entry.Priority ? ", in front of sprites" : ""));
    });
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(Scrolled(names_, page), 1);
    layout->addWidget(nameText_);
    return page;
}

QWidget* TDebuggerVdpView::BuildSpritePage() {
    auto* page = new QWidget(this);
    sprites_ = Table({"#", "X", "Y", "Pattern", "Tile", "Lines", "Over 8 on", "State"}, page, "SpriteTable");
    sprites_->setRowCount(static_cast<int>(VDP_SPRITE_TABLE_SIZE));
    spriteLine_ = new QSpinBox(page);
    spriteLine_->setObjectName("SpriteLine");
    spriteLine_->setRange(0, static_cast<int>(VDP_SCREEN_HEIGHT) - 1);
    spriteLineText_ = new QLabel(page);
    spriteLineText_->setObjectName("SpriteLineText");
    spriteLineText_->setWordWrap(true);
    connect(spriteLine_, &QSpinBox::valueChanged, this, [this] { ShowSpriteLine(); });
    auto* lineRow = new QHBoxLayout;
    lineRow->addWidget(new QLabel("Line:", page));
    lineRow->addWidget(spriteLine_);
    lineRow->addWidget(spriteLineText_, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(sprites_, 1);
    layout->addLayout(lineRow);
    return page;
}

void TDebuggerVdpView::Show(const TConsole& console) {
    console.ReadSprites(*spriteTable_);
    console.ReadNameTable(*nameTable_);
    // Both palettes' sheets: the palette's choice redraws without the console.
    console.DrawTileSheet(TVdpPalette::Background, tileSheets_[0].data());
    console.DrawTileSheet(TVdpPalette::Sprite, tileSheets_[1].data());
    ShowTiles();
    ShowNames(console);
    ShowSprites();
    ShowPalette(console);
    ShowRegisters(console);
}

void TDebuggerVdpView::ShowTiles() {
    const std::vector<uint32_t>& pixels = tileSheets_[tilePalette_->currentIndex() == 1 ? 1 : 0];
    tileSheet_ = Picture(pixels.data(), VDP_TILE_SHEET_WIDTH, VDP_TILE_SHEET_HEIGHT);
    // The two halves side by side, so the whole sheet fits at twice its size.
    const int width = static_cast<int>(VDP_TILE_SHEET_WIDTH), half = static_cast<int>(VDP_TILE_SHEET_HEIGHT) / 2;
    QImage shown(2 * width, half, QImage::Format_RGB32);
    QPainter painter(&shown);
    painter.drawImage(QPoint(0, 0), tileSheet_, QRect(0, 0, width, half));
    painter.drawImage(QPoint(width, 0), tileSheet_, QRect(0, half, width, half));
    painter.end();
    tiles_->SetImage(shown);
}

void TDebuggerVdpView::ShowNames(const TConsole& console) {
    std::vector<uint32_t> pixels(VDP_PLANE_WIDTH * VDP_PLANE_HEIGHT);
    std::vector<uint8_t> mask(VDP_PLANE_WIDTH * VDP_PLANE_HEIGHT);
    std::vector<uint8_t> handheld(VDP_PLANE_WIDTH * VDP_PLANE_HEIGHT);
    console.DrawNameTable(pixels.data());
    console.ScrollWindowMask(mask.data());
    console.HandheldWindowMask(handheld.data());
    const bool gameGear = console.Settings().Model == TConsoleModel::GameGear;
    // The plane outside the screen at half brightness: the window shows even
    // where it wraps around the plane's edges or the locks bend it. On the
    // Game Gear the picture's part beyond its 160 x 144 screen is drawn but
    // never seen: three quarters bright, between the two.
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        if (mask[i] == 0)
            pixels[i] = (pixels[i] >> 1) & 0x7F7F7F;
        else if (gameGear && handheld[i] == 0)
            pixels[i] = ((pixels[i] >> 1) & 0x7F7F7F) + ((pixels[i] >> 2) & 0x3F3F3F);
    }
    names_->SetImage(Picture(pixels.data(), VDP_PLANE_WIDTH, VDP_PLANE_HEIGHT));
    T_VDP_SCROLL_WINDOW window;
    console.ReadScrollWindow(window);
    if (nameText_->text().isEmpty() || nameText_->text().startsWith("Name table"))
        nameText_->setText(QString("Name table at VRAM #%1; the screen starts at x %2, y %3 of the plane "
                                   "(horizontal scroll %4, vertical scroll %5%6). Click a cell for its entry.")
                               .arg(Hex(nameTable_->Address, 4))
                               .arg(window.Left)
                               .arg(window.Top)
                               .arg(window.HScroll)
                               .arg(window.VScroll)
                               .arg(window.VScrollRegister != window.VScroll
                                        ? QString(", %1 from the next frame").arg(window.VScrollRegister)
                                        : QString()) +
                           (gameGear ? QString(" The Game Gear shows its 160 x 144 part (at full brightness): "
                                               "pixels 48-207 of lines 24-167, columns %1-%2 at this scroll.")
                                           .arg(((window.Left + 48) / 8) % VDP_NAME_COLUMNS)
                                           .arg(((window.Left + 207) / 8) % VDP_NAME_COLUMNS)
                                     : QString()));
}

void TDebuggerVdpView::ShowSprites() {
    const T_VDP_SPRITE_TABLE& table = *spriteTable_;
    for (int i = 0; i < static_cast<int>(VDP_SPRITE_TABLE_SIZE); ++i) {
        const T_VDP_SPRITE_INFO& sprite = table.Sprites[i];
        // The lines it covers on the screen and the lines where it comes
        // after the eighth sprite, from the per-line lists. The console
        // drops those; this VDP draws them, so the table is where a game
        // that needs more than eight sees that it would lose them.
        int first = -1, last = -1, firstDropped = -1, lastDropped = -1;
        for (int line = 0; line < static_cast<int>(table.LineCount); ++line) {
            const T_VDP_SPRITE_LINE& on = table.Lines[line];
            for (int k = 0; k < on.Count; ++k) {
                if (on.Sprites[k] != i) continue;
                if (first < 0) first = line;
                last = line;
                if (k >= static_cast<int>(VDP_SPRITE_LINE_LIMIT)) {
                    if (firstDropped < 0) firstDropped = line;
                    lastDropped = line;
                }
            }
        }
        auto range = [](int a, int b) { return a < 0 ? QString() : a == b ? QString::number(a) : QString("%1-%2").arg(a).arg(b); };
        QString state = sprite.InList ? (sprite.Visible ? "shown" : "off the screen")
                        : i == table.ListLength ? "the list end (y #D0)"
                                                : "after the list end";
        if (sprite.OverLimitLines > 0)
            state = QString(table.Dropped ? "dropped on %1 of %2 lines" : "over 8 on %1 of %2 lines")
                        .arg(sprite.OverLimitLines)
                        .arg(sprite.LineCount);
        SetCell(sprites_, i, 0, QString::number(i));
        SetCell(sprites_, i, 1, QString::number(sprite.ScreenX));
        SetCell(sprites_, i, 2, QString::number((sprite.Y + 1) & 0xFF));
        SetCell(sprites_, i, 3, "#" + Hex(sprite.Pattern, 2));
        SetCell(sprites_, i, 4, QString::number(sprite.Tile));
        SetCell(sprites_, i, 5, range(first, last));
        SetCell(sprites_, i, 6, range(firstDropped, lastDropped));
        SetCell(sprites_, i, 7, state);
    }
    sprites_->resizeColumnsToContents();
    // The hardware models' tall modes have lines 192-239 too.
    spriteLine_->setMaximum(static_cast<int>(table.LineCount) - 1);
    ShowSpriteLine();
}

void TDebuggerVdpView::ShowSpriteLine() {
    const T_VDP_SPRITE_LINE& line = spriteTable_->Lines[spriteLine_->value()];
    QStringList shown, dropped;
    for (int k = 0; k < line.Count; ++k)
        (k < static_cast<int>(VDP_SPRITE_LINE_LIMIT) ? shown : dropped).append(QString::number(line.Sprites[k]));
    QString text = line.Count == 0 ? QString("no sprite") : "sprites " + shown.join(", ");
    if (!dropped.isEmpty())
        text += (spriteTable_->Dropped ? "; dropped (over the limit of 8): "
                                       : "; over the limit of 8 (a console drops them, Tiravel draws them): ") +
                dropped.join(", ");
    spriteLineText_->setText(text);
}

void TDebuggerVdpView::ShowPalette(const TConsole& console) {
    // The Game Gear's colours have 12 bits, 4 to a gun, each level v shown
    // as 17 x v (0-255).
    if (uint16_t colours[VDP_CRAM_SIZE]; console.ReadPalette12(colours)) {
        for (int i = 0; i < static_cast<int>(VDP_CRAM_SIZE); ++i) {
            const uint16_t value = colours[i];
            const QColor colour(17 * (value & 15), 17 * (value >> 4 & 15), 17 * (value >> 8 & 15));
            SetCell(palette_, i / 16, i % 16, Hex(value, 3));
            QTableWidgetItem* item = palette_->item(i / 16, i % 16);
            item->setBackground(colour);
            item->setForeground(colour.lightness() > 110 ? Qt::black : Qt::white);
            item->setTextAlignment(Qt::AlignCenter);
            item->setToolTip(QString("CRAM %1: #%2 (12-bit: blue %3, green %4, red %5), RGB #%6")
                                 .arg(i)
                                 .arg(Hex(value, 3))
                                 .arg(value >> 8 & 15)
                                 .arg(value >> 4 & 15)
                                 .arg(value & 15)
                                 .arg(Hex(colour.rgb() & 0xFFFFFF, 6)));
        }
        return;
    }
    T_VDP_PALETTE_INFO info;
    console.ReadPalette(info);
    for (int i = 0; i < static_cast<int>(VDP_CRAM_SIZE); ++i) {
        SetCell(palette_, i / 16, i % 16, Hex(info.Value[i], 2));
        QTableWidgetItem* item = palette_->item(i / 16, i % 16);
        const QColor colour = QColor::fromRgb(info.Rgb[i]);
        item->setBackground(colour);
        item->setForeground(colour.lightness() > 110 ? Qt::black : Qt::white);
        item->setTextAlignment(Qt::AlignCenter);
        item->setToolTip(QString("CRAM %1: #%2, RGB #%3").arg(i).arg(Hex(info.Value[i], 2)).arg(Hex(info.Rgb[i], 6)));
    }
}

void TDebuggerVdpView::ShowRegisters(const TConsole& console) {
    const std::vector<T_VDP_FIELD> fields = console.DescribeVdpRegisters();
    registers_->setRowCount(static_cast<int>(fields.size()));
    for (int row = 0; row < static_cast<int>(fields.size()); ++row) {
        const T_VDP_FIELD& field = fields[row];
        SetCell(registers_, row, 0, field.Register < 0 ? QString() : "R" + QString::number(field.Register));
        SetCell(registers_, row, 1, QString::fromStdString(field.Name));
        SetCell(registers_, row, 2, QString::fromStdString(field.Value));
    }
    registers_->resizeColumnToContents(1);
}

// ---------------------------------------------------------------- sound

TDebuggerSoundView::TDebuggerSoundView(QWidget* parent) : QWidget(parent) {
    channels_ = Table({"Channel", "Period", "Frequency", "Attenuation", "Volume", "Played"}, this, "PsgChannels");
    channels_->setRowCount(4);
    latch_ = new QLabel(this);
    latch_->setObjectName("PsgLatch");
    latch_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(channels_, 1);
    layout->addWidget(latch_);
}

void TDebuggerSoundView::Show(const TConsole& console) {
    T_PSG_READOUT info;
    console.ReadSound(info);
    auto volume = [](bool off, double db) { return off ? QString("off") : QString("%1 dB").arg(db, 0, 'f', 0); };
    auto muted = [](bool enabled) { return enabled ? QString() : QString(", muted in the Sound menu"); };
    for (int i = 0; i < 3; ++i) {
        const T_PSG_TONE_READOUT& tone = info.Tones[i];
        SetCell(channels_, i, 0, QString("Tone %1").arg(i + 1));
        SetCell(channels_, i, 1, QString("%1 (#%2)").arg(tone.Period).arg(Hex(tone.Period, 3)));
        SetCell(channels_, i, 2, tone.Period == 0 ? QString("-") : QString("%1 Hz").arg(tone.Hz, 0, 'f', 1));
        SetCell(channels_, i, 3, QString::number(tone.Attenuation));
        SetCell(channels_, i, 4, volume(tone.Off, tone.Decibels));
        SetCell(channels_, i, 5, QString("%1 Hz%2").arg(tone.PlayedHz, 0, 'f', 1).arg(muted(tone.Enabled)));
    }
    const T_PSG_NOISE_READOUT& noise = info.Noise;
    SetCell(channels_, 3, 0, "Noise");
    SetCell(channels_, 3, 1,
            QString("%1, %2").arg(noise.White ? "white" : "periodic")
                .arg(noise.LinkedToTone3 ? QString("tone 3's rate") : QString("rate %1").arg(noise.Rate)));
    SetCell(channels_, 3, 2, QString("%1 Hz shift").arg(noise.ShiftHz, 0, 'f', 1));
    SetCell(channels_, 3, 3, QString::number(noise.Attenuation));
    SetCell(channels_, 3, 4, volume(noise.Off, noise.Decibels));
    SetCell(channels_, 3, 5,
            (noise.White ? QString("-") : QString("%1 Hz").arg(noise.PeriodicHz, 0, 'f', 1)) + muted(noise.Enabled));
    channels_->resizeColumnsToContents();
    latch_->setText(QString("Latched: %1. Clock %2 Hz, %3 samples per second%4.")
                        .arg(QString::fromStdString(info.Latched))
                        .arg(info.Clock)
                        .arg(info.SampleRate)
                        .arg(info.MixerOn ? "" : "; the mixer is off"));
}
