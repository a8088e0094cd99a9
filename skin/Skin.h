#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QLabel;

// The program's look: colours shared by the style and the panels, the button pictures and
// the two special labels (the window title and the rip headline).
namespace Skin {

// Backdrop of a window: a deep blue that fades downwards.
inline const QColor kBackdropTop{0x2a, 0x4d, 0x7c};
inline const QColor kBackdropBottom{0x0d, 0x1b, 0x2f};
// Raised panels inside it.
inline const QColor kPanelTop{0xf7, 0xf9, 0xfc};
inline const QColor kPanelBottom{0xd3, 0xdd, 0xea};
inline const QColor kPanelBorder{0x8b, 0xa0, 0xba};
// Ink on light panels, and the accent used for selections, focus and progress.
inline const QColor kInk{0x1b, 0x2a, 0x3d};
inline const QColor kAccent{0x2a, 0x76, 0xc9};
inline const QColor kHeadline{0xd0, 0x1c, 0x1c};

// Sets the style on the application, and its window icon and desktop entry name. Call once,
// after the QApplication exists.
void Install();

// A picture from the bundled SVG set (resources/icons/<name>.svg), drawn sharp at any size;
// the disabled form is a faded grey. A null icon when there is no such picture.
QIcon Icon(const QString& name);
QPixmap Pixmap(const QString& name, int size);

// The large bold white window title.
void MakeTitle(QLabel* label);
// The large bold red headline naming the running rip.
void MakeHeadline(QLabel* label);

}  // namespace Skin
