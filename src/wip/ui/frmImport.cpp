#include "wip/ui/frmImport.h"

#include "shell/AppContext.h"
#include "wip/CustomerFile.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>

namespace {

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A list of up to every customer: filled from a model in one step and sized
// without measuring each item.
QComboBox *matchList(const char *name)
{
    auto *box = named(new QComboBox, name);
    box->setModel(new QStringListModel(box));
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(40);
    box->setMaxVisibleItems(20);
    if (auto *view = qobject_cast<QListView *>(box->view()))
        view->setUniformItemSizes(true);
    return box;
}

void setItems(QComboBox *box, const QStringList &items)
{
    qobject_cast<QStringListModel *>(box->model())->setStringList(items);
    box->setCurrentIndex(-1);
}

} // namespace

frmImport::frmImport(AppContext &context)
    : Screen(context, QStringLiteral("frmImport"), QStringLiteral("Ostrevan Import"))
{
    buildUi();
}

frmImport::~frmImport() = default;

void frmImport::buildUi()
{
    txtSearch = named(new QLineEdit, "txtSearch");
    btnFind = named(new QPushButton(QStringLiteral("Find")), "btnFind");
    cmbName = matchList("cmbName");
    cmbID = matchList("cmbID");
    cmbID->setVisible(false);
    txtName = named(new QLineEdit, "txtName");
    txtCompany = named(new QLineEdit, "txtCompany");
    txtAddress = named(new QLineEdit, "txtAddress");
    txtCity = named(new QLineEdit, "txtCity");
    txtState = named(new QLineEdit, "txtState");
    txtState->setMaximumWidth(60);
    txtZip = named(new QLineEdit, "txtZip");
    txtZip->setMaximumWidth(100);
    txtPhone = named(new QLineEdit, "txtPhone");
    btnImport = named(new QPushButton(QStringLiteral("Import")), "btnImport");
    btnCancel = named(new QPushButton(QStringLiteral("Cancel")), "btnCancel");
    // Nothing to import until a customer is picked.
    btnImport->setEnabled(false);

    auto *grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](const QString &caption, QWidget *buddy, QLayout *fields) {
        auto *label = new QLabel(caption);
        label->setBuddy(buddy);
        grid->addWidget(label, row, 0);
        grid->addLayout(fields, row++, 1);
    };
    auto line = [](std::initializer_list<QWidget *> widgets) {
        auto *layout = new QHBoxLayout;
        layout->setContentsMargins(0, 0, 0, 0);
        for (QWidget *w : widgets)
            layout->addWidget(w, qobject_cast<QLineEdit *>(w) && w->maximumWidth() == QWIDGETSIZE_MAX ? 1 : 0);
        return layout;
    };
    addRow(QStringLiteral("Search"), txtSearch, line({ txtSearch, btnFind }));
    addRow(QStringLiteral("Customers"), cmbName, line({ cmbName, cmbID }));
    addRow(QStringLiteral("Name"), txtName, line({ txtName }));
    addRow(QStringLiteral("Company"), txtCompany, line({ txtCompany }));
    addRow(QStringLiteral("Address"), txtAddress, line({ txtAddress }));
    addRow(QStringLiteral("City, State, Zip"), txtCity, line({ txtCity, txtState, txtZip }));
    addRow(QStringLiteral("Phone"), txtPhone, line({ txtPhone }));
    grid->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnImport);
    buttons->addWidget(btnCancel);
    auto *main = new QVBoxLayout(this);
    main->addLayout(grid);
    main->addStretch(1);
    main->addLayout(buttons);

    const QList<QWidget *> order { txtSearch, btnFind, cmbName, txtName, txtCompany, txtAddress, txtCity, txtState,
        txtZip, txtPhone, btnImport, btnCancel };
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    // Enter in the search box finds; every pick in the list (mouse, arrow
    // keys) shows that customer.
    connect(txtSearch, &QLineEdit::returnPressed, this, &frmImport::btnFind_Click);
    connect(btnFind, &QPushButton::clicked, this, &frmImport::btnFind_Click);
    connect(cmbName, &QComboBox::activated, this, &frmImport::cmbName_Click);
    connect(btnImport, &QPushButton::clicked, this, &frmImport::btnImport_Click);
    connect(btnCancel, &QPushButton::clicked, this, &frmImport::btnCancel_Click);
}

void frmImport::load()
{
    m_customers = wip::openCustomerFile(wip::customerFileLocation(context().config));
    txtSearch->clear();
    fillMatches();
    txtSearch->setFocus(Qt::OtherFocusReason);
}

void frmImport::LoadSearch()
{
    guarded([this] { fillMatches(); });
}

void frmImport::fillMatches()
{
    ClearData();
    setItems(cmbName, {});
    setItems(cmbID, {});
    if (!m_customers)
        return;
    QStringList names;
    QStringList ids;
    for (const wip::Customer &customer : m_customers->search(txtSearch->text())) {
        names << wip::matchText(customer);
        ids << QString::number(customer.id);
    }
    setItems(cmbName, names);
    setItems(cmbID, ids);
}

void frmImport::ClearData()
{
    for (QLineEdit *box : { txtName, txtCompany, txtAddress, txtCity, txtState, txtZip, txtPhone })
        box->clear();
    btnImport->setEnabled(false);
}

void frmImport::btnFind_Click()
{
    LoadSearch();
}

void frmImport::cmbName_Click(int index)
{
    cmbID->setCurrentIndex(index);
    if (index < 0 || cmbName->currentText().isEmpty() || !m_customers)
        return;
    const qint64 id = cmbID->itemText(index).toLongLong();
    guarded([&] {
        const std::optional<wip::Customer> customer = m_customers->find(id);
        if (!customer) {
            ClearData();
            return;
        }
        const wip::ImportedCustomer shown = wip::importedDetails(*customer);
        txtName->setText(shown.name);
        txtCompany->setText(shown.company);
        txtAddress->setText(shown.address);
        txtCity->setText(shown.city);
        txtState->setText(shown.state);
        txtZip->setText(shown.zip);
        txtPhone->setText(shown.phone);
        btnImport->setEnabled(true);
    });
}

void frmImport::btnImport_Click()
{
    emit customerImported({ txtName->text(), txtCompany->text(), txtAddress->text(), txtCity->text(), txtState->text(),
        txtZip->text(), txtPhone->text() });
    closeScreen();
}

void frmImport::btnCancel_Click()
{
    closeScreen();
}

void frmImport::closeEvent(QCloseEvent *event)
{
    // The customer file is let go as the screen closes, not when Qt deletes it.
    m_customers.reset();
    Screen::closeEvent(event);
    emit closed();
}

void frmImport::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnCancel->click();
        return;
    }
    Screen::keyPressEvent(event);
}
