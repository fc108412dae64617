// The compact "Output Filter select" dialog of the generator dialog.
#pragma once

#include "core/TOutFilterSelect.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QPushButton;
class QRadioButton;
class QTableWidget;

// Edits the filters of the left and right output blocks in a table (type, frequency, gain, Q,
// order, off); every change goes to the output path at once through the model's publisher.
// Cancel hands the blocks as they were back to the output path. GUI thread only.
class TOutFilterSelDlg : public QDialog {
    Q_OBJECT
public:
    TOutFilterSelDlg(const tFilterBlock& left, const tFilterBlock& right, bool link,
                     TOutFilterSelect::Publisher publish, QWidget* parent = nullptr);

    TOutFilterSelect& model() { return *m_model; }
    // Shows the chosen channel's block in the table.
    void refresh();

    QRadioButton* RBLeft;   // edit the left block
    QRadioButton* RBRight;  // edit the right block
    QCheckBox* CBLink;      // "Right = Left"
    QCheckBox* CBBypass;    // "Bypass block"
    QTableWidget* Table;    // one row per filter
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    void reject() override;

private:
    void buildRow(int row);

    std::unique_ptr<TOutFilterSelect> m_model; // blocks and rules
    bool m_filling = false;                    // the table is being filled: no edits
};
