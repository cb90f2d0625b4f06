#pragma once

#include <QRect>
#include <QString>

// The kind of an order's photo, by the folder it lives in.
enum PHOTOTYPE
{
    RawPhoto = 0,     // as shot, in "照片/"
    FinePhoto = 1,    // finished, in "成品/"
    DeletedPhoto = 2, // rejected, in "汰片/"
};

// One photo file of an order: its kind, name, server mark and the paths of
// its files in the order folder.
//
// The file name is the photo's identity (a ".JPG" photo is listed as
// ".jpg"). The path getters name the file on disk: where the name's own
// spelling is missing and the ".JPG" spelling exists, they give that one,
// so a case-sensitive file server still finds the photo.
class Image
{
public:
    Image() = default;

    QString GetImagePath() const;       // small thumbnail
    QString GetMiddleImagePath() const; // middle thumbnail
    QString GetBigImagePath() const;    // the photo itself
    QString GetCompareImagePath() const;
    QString GetImageName() const { return m_fileName; }
    void Setpath(QString& fileName) { m_fileName = fileName; }
    void setFileName(const QString& fileName) { m_fileName = fileName; }

    void setClipRect(QRect rect, bool ellipse);
    QRect clipRect() const { return m_rect; }
    bool isEllipse() const { return m_ellipse; }

    int kind() const { return m_kind; }
    void setKind(int kind) { m_kind = kind; }
    QString description() const { return m_description; }
    void setDescription(const QString& description) { m_description = description; }

    void setProductId(QString productId) { m_productId = productId; }
    QString getProductId() const { return m_productId; }
    int getProductNum() const;

    // The order folder the paths are built on, taken when the record is
    // made so a job never reads DirServer while the window changes it. A
    // record without one uses DirServer's current order folder.
    void setOrderFolder(const QString& folder) { m_orderFolder = folder; }
    QString orderFolder() const;

    // folder + name, or the ".JPG" spelling of name where only that exists.
    static QString resolveOnDisk(const QString& folder, const QString& name);

private:
    int m_kind = RawPhoto;
    QString m_description = QLatin1String("");
    QString m_fileName;
    QRect m_rect{QPoint(0, 0), QPoint(0, 0)};
    bool m_ellipse = false;
    QString m_productId = QLatin1String("");
    QString m_orderFolder;
};
