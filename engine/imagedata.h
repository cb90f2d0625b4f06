#pragma once

#include "image.h"

#include <QList>
#include <QStringList>

// The photo lists of the order being worked on: all (camera) photos,
// selected (finished) photos and left (rejected) photos, a position in the
// current list, and the photos that carry a server mark.
class ImageData
{
public:
    static ImageData* getInstance();

    // Lists the order's finished photos ("*.jpg" in "成品/", any case) into
    // the selected list with their marks from changedImages; the current
    // kind becomes the one given. False when "成品/" could not be looked at
    // or listed: the lists stay as they were.
    bool importImage(PHOTOTYPE kind);

    void setType(PHOTOTYPE kind);
    PHOTOTYPE getType() const { return m_type; }
    void clearImages();

    QList<Image>& GetAllImages() { return m_allImages; }
    QList<Image>& GetSeletedImages() { return m_selectedImages; }
    QList<Image>& GetLeftImages() { return m_leftImages; }
    QList<Image>& getImagelist();

    int getRawImageNum() const { return m_allImages.size(); }
    int getFinalImageNum() const { return m_selectedImages.size(); }
    int getDeletedImageNum() const { return m_leftImages.size(); }

    Image getFineImage(QString name) const;

    void setIterator(int i);
    void setIterator(QString name);
    QList<Image>::iterator getIterator();
    QList<Image>::iterator getSeleIterator(int i);
    int getCurrentIndex() const;
    void iteratorMoveNext();
    void iteratorMovePre();
    void iteratorMoveFirst();
    void iteratorMoveEnd();

    // Moves named finished photos to "汰片/" (and back); returns the names
    // moved. A failed move keeps the photo where it was and says so.
    QStringList fineImageToDeleted(QStringList names);
    QStringList deletedImageToFine(QStringList names);
    void deleteRawImage(QStringList names);
    // Empties the rejected folder and the left list; false when the folder
    // could not be emptied and made again.
    bool removeDeletedImage();

    static QList<Image> getFineAndDeletedImage();
    // Where the small thumbnail of a finished photo of the order folder is
    // looked for by the sheet (the photo as importImage lists it); empty for
    // a file that is no JPEG photo.
    static QString fineSmallThumbnail(const QString& orderFolder, const QString& fileName);

    static ImageData* m_pimages;
    static QList<Image> changedImages;

private:
    ImageData() = default;

    bool hasPositions() const;
    const QList<Image>& currentList() const;
    QStringList moveImages(QList<Image>& list, const QStringList& names, PHOTOTYPE from, PHOTOTYPE to,
                           const QString& fromText, const QString& failureText);

    QList<Image> m_allImages;
    QList<Image> m_selectedImages;
    QList<Image> m_leftImages;
    PHOTOTYPE m_type = RawPhoto;
    // Index into the current list: -1 no position, size() the end.
    int m_position = -1;
};
