#include "wip/ui/frmImport.h"

#include "shell/AppContext.h"
#include "widgets/Build.h"
#include "wip/CustomerFile.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmImport::frmImport(AppContext &context)
    : Screen(context, QStringLiteral("frmImport"), QStringLiteral("Ostrevan Import"))
{
    buildUi();
}

frmImport::~frmImport() = default;

void frmImport::buildUi()
{
    txtSearch = build::textBox("txtSearch");
    btnFind = build::button("btnFind", u"Find");
    // Lists of up to every customer.
    cmbName = build::longList("cmbName", 40);
    cmbID = build::longList("cmbID", 40);
    cmbID->setVisible(false);
    txtName = build::textBox("txtName");
    txtCompany = build::textBox("txtCompany");
    txtAddress = build::textBox("txtAddress");
    txtCity = build::textBox("txtCity");
    txtState = build::textBox("txtState");
    txtState->setMaximumWidth(60);
    txtZip = build::textBox("txtZip");
    txtZip->setMaximumWidth(100);
    txtPhone = build::textBox("txtPhone");
    btnImport = build::button("btnImport", u"Import");
    btnCancel = build::button("btnCancel", u"Cancel");
    // Nothing to import until a customer is picked.
    btnImport->setEnabled(false);

    auto *grid = new QGridLayout;
    build::captionRows(grid, 0,
        { { u"Search", { txtSearch, btnFind } }, { u"Customers", { cmbName, cmbID } }, { u"Name", { txtName } },
            { u"Company", { txtCompany } }, { u"Address", { txtAddress } },
            { u"City, State, Zip", { txtCity, txtState, txtZip } }, { u"Phone", { txtPhone } } });
    grid->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnImport);
    buttons->addWidget(btnCancel);
    auto *main = new QVBoxLayout(this);
    main->addLayout(grid);
    main->addStretch(1);
    main->addLayout(buttons);

    build::tabOrder({ txtSearch, btnFind, cmbName, txtName, txtCompany, txtAddress, txtCity, txtState, txtZip, txtPhone,
        btnImport, btnCancel });

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
    build::setItems(cmbName, {});
    build::setItems(cmbID, {});
    if (!m_customers)
        return;
    QStringList names;
    QStringList ids;
    for (const wip::Customer &customer : m_customers->search(txtSearch->text())) {
        names << wip::matchText(customer);
        ids << QString::number(customer.id);
    }
    build::setItems(cmbName, names);
    build::setItems(cmbID, ids);
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
