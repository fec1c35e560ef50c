#include "ui/Artwork.h"

#include <QPainter>
#include <QSvgRenderer>

// The resources live in a static library: nothing would pull their
// registration into the program unless it is referenced from here.
static void EnsureArtworkResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(Artwork);
        return true;
    }();
    (void)registered;
}

namespace
{
QPixmap Render(const QString& path, QSize size)
{
    EnsureArtworkResources();
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    if (size.isEmpty())
        size = renderer.defaultSize();
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return pixmap;
}
} // namespace

QString ListImagePath(EListImage image)
{
    switch (image)
    {
    case EListImage::Table: return QStringLiteral(":/rowmover/artwork/table.svg");
    case EListImage::Success: return QStringLiteral(":/rowmover/artwork/success.svg");
    case EListImage::Failure: return QStringLiteral(":/rowmover/artwork/failure.svg");
    case EListImage::Arrow: return QStringLiteral(":/rowmover/artwork/arrow.svg");
    case EListImage::Warning: return QStringLiteral(":/rowmover/artwork/warning.svg");
    }
    return {};
}

QString PicturePath(EPicture picture)
{
    switch (picture)
    {
    case EPicture::SourceDatabase: return QStringLiteral(":/rowmover/artwork/source_db.svg");
    case EPicture::DestinationDatabase: return QStringLiteral(":/rowmover/artwork/destination_db.svg");
    case EPicture::DatabaseSelection: return QStringLiteral(":/rowmover/artwork/select_db.svg");
    case EPicture::DestinationSelection: return QStringLiteral(":/rowmover/artwork/select_dest_db.svg");
    case EPicture::About: return QStringLiteral(":/rowmover/artwork/about.svg");
    }
    return {};
}

QString ProgramIconPath()
{
    return QStringLiteral(":/rowmover/artwork/program.svg");
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(Render(ProgramIconPath(), QSize(size, size)));
    return icon;
}

QPixmap ListImage(EListImage image, int size)
{
    return Render(ListImagePath(image), QSize(size, size));
}

QPixmap Picture(EPicture picture, QSize size)
{
    return Render(PicturePath(picture), size);
}

QSize PictureDesignSize(EPicture picture)
{
    EnsureArtworkResources();
    return QSvgRenderer(PicturePath(picture)).defaultSize();
}
