#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

// The images of the result and table lists, in their image-list order.
enum class EListImage
{
    Table = 0,   // blue table grid
    Success = 1, // green disc with a check mark
    Failure = 2, // red disc with an exclamation mark
    Arrow = 3,   // orange arrow
    Warning = 4, // amber triangle with an exclamation mark
};
inline constexpr int kListImageCount = 5;
// The size the list images are drawn for; CDpiDC scales it to the screen.
inline constexpr int kListImageDesignSize = 20;

enum class EPicture
{
    SourceDatabase,       // wide strip beside the source database
    DestinationDatabase,  // wide strip beside the destination database
    DatabaseSelection,    // tall strip of the database selection
    DestinationSelection, // the same in the destination's colours
    About,                // square picture of the about window
};

// The program icon at every usual size.
QIcon ProgramIcon();
// A list image drawn size x size pixels.
QPixmap ListImage(EListImage image, int size);
// A picture drawn at size; an empty size gives its design size.
QPixmap Picture(EPicture picture, QSize size = {});
// The design size of a picture.
QSize PictureDesignSize(EPicture picture);
// The resource path of an image, for style sheets and tests.
QString ListImagePath(EListImage image);
QString PicturePath(EPicture picture);
QString ProgramIconPath();
