#pragma once

#include "convert/outputnaming.h"
#include "convert/partfile.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace tunevale {

// The conversion dialog's "Names" group: keeping the folder tree, a name pattern, portable
// names, what a taken name gets, and a preview of the first rows' names that the owner fills.
class NamingBox final : public QGroupBox {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NamingBox)

public:
    explicit NamingBox(QWidget* parent);

    void setChoice(const NamingRules& rules, IfExists ifTaken);
    NamingRules rules() const;
    IfExists ifTaken() const;
    // Keeping the tree means something only below a chosen output folder.
    void setTreeAvailable(bool available);
    // One line per name, or what is wrong with the pattern.
    void showPreview(const QStringList& lines);
    QString preview() const;

Q_SIGNALS:
    void changed();

private:
    QCheckBox* m_keepTreeBox = nullptr;
    QLineEdit* m_patternText = nullptr;
    QCheckBox* m_portableBox = nullptr;
    QComboBox* m_ifTakenList = nullptr;
    QPlainTextEdit* m_previewText = nullptr;
};

} // namespace tunevale
