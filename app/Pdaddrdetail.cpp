#include "Pdaddrdetail.h"

#include "GuiUtil.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

/// The keys the facade answers for the date fields of a contact.
constexpr int32_t kExBirthdayKey = 34;
constexpr int32_t kEx2AnniversaryKey = 42;
constexpr int32_t kEx2BirthdayKey = 43;

/// First and last name joined by one blank, as the generations without an
/// English Name field show it.
QString JoinedName(const QString& first, const QString& last) { return first + QLatin1Char(' ') + last; }

}  // namespace

TfmPDAddrDetail::TfmPDAddrDetail(QWidget* parent)
    : TfmPimDetail(parent, App::Contact, QStringLiteral("View Palm Desktop Contact Record Details"),
                   QStringLiteral("View detail information of the Palm Desktop Contact record."))
{
    setObjectName(QStringLiteral("fmPDAddrDetail"));

    // General Information: names and dates on the left, phones on the right.
    tsGeneral = AddPage(QStringLiteral("General Information"), "tsGeneral");
    QGridLayout* g = PageGrid(tsGeneral);
    g->setHorizontalSpacing(8);
    edtFirstName = AddEdit(g, 0, 0, QStringLiteral("First Name:"), "edtFirstName");
    edtLastName = AddEdit(g, 1, 0, QStringLiteral("Last Name:"), "edtLastName");
    edtEnglishName = AddEdit(g, 2, 0, QStringLiteral("English Name:"), "edtEnglishName");
    edtCompany = AddEdit(g, 3, 0, QStringLiteral("Company:"), "edtCompany");
    edtJobTitle = AddEdit(g, 4, 0, QStringLiteral("Job Title:"), "edtJobTitle");
    edtProfession = AddEdit(g, 5, 0, QStringLiteral("Profession:"), "edtProfession");
    edtBirthday = AddEdit(g, 6, 0, QStringLiteral("Birthday:"), "edtBirthday");
    edtAnniversary = AddEdit(g, 7, 0, QStringLiteral("Anniversary:"), "edtAnniversary");
    g->setColumnMinimumWidth(2, 10);
    for (int i = 0; i < kPhoneRows; ++i) {
        rbtnPhone[i] = new QRadioButton(PmAddrInfo::PhoneLabelText(PmAddrInfo::kLabelWork), tsGeneral);
        rbtnPhone[i]->setObjectName(QStringLiteral("rbtnPhone%1").arg(i + 1));
        ShowOnly(rbtnPhone[i]);
        edtPhone[i] = new QLineEdit(tsGeneral);
        edtPhone[i]->setObjectName(QStringLiteral("edtPhone%1").arg(i + 1));
        edtPhone[i]->setReadOnly(true);
        g->addWidget(rbtnPhone[i], i, 3);
        g->addWidget(edtPhone[i], i, 4);
    }
    auto* lblPrimary = new QLabel(QStringLiteral("Primary Contact:"), tsGeneral);
    lblPrimaryContact = new QLabel(tsGeneral);
    lblPrimaryContact->setObjectName(QStringLiteral("lblPrimaryContact"));
    g->addWidget(lblPrimary, kPhoneRows, 3);
    g->addWidget(lblPrimaryContact, kPhoneRows, 4);
    edtAssistantName = AddEdit(g, 7, 3, QStringLiteral("Assistant Name:"), "edtAssistantName", &lblAssistantName);
    edtAssistantPhone = AddEdit(g, 8, 3, QStringLiteral("Assistant Phone:"), "edtAssistantPhone", &lblAssistantPhone);
    lblAssistantName->setObjectName(QStringLiteral("lblAssistantName"));
    lblAssistantPhone->setObjectName(QStringLiteral("lblAssistantPhone"));
    g->setColumnStretch(1, 1);
    g->setColumnStretch(4, 1);
    g->setRowStretch(9, 1);

    // Addresses, one inner page per address.
    tsAddress = AddPage(QStringLiteral("Addresses"), "tsAddress");
    auto* addressLayout = new QVBoxLayout(tsAddress);
    addressLayout->setContentsMargins(10, 10, 10, 10);
    pcAddress = new QTabWidget(tsAddress);
    pcAddress->setObjectName(QStringLiteral("pcAddress"));
    addressLayout->addWidget(pcAddress);
    m_Work = AddAddressPage(pcAddress, QStringLiteral("Work"), "tsWork", "Work");
    m_Home = AddAddressPage(pcAddress, QStringLiteral("Home"), "tsHome", "Home");
    m_Other = AddAddressPage(pcAddress, QStringLiteral("Other"), "tsOther", "Other");

    tsOnline = AddPage(QStringLiteral("Online Presense"), "tsOnline");
    QGridLayout* o = PageGrid(tsOnline);
    edtIM1 = AddEdit(o, 0, 0, QStringLiteral("Instant Message 1:"), "edtIM1");
    edtIM2 = AddEdit(o, 1, 0, QStringLiteral("Instant Message 2:"), "edtIM2");
    edtURL = AddEdit(o, 2, 0, QStringLiteral("Web Site:"), "edtURL");
    // The e-mail columns of a 6.x contact; the other generations keep an
    // address only in a phone slot labelled E-mail, on the first page.
    const char* const kEmailCaptions[kEmailRows] = {"Work E-mail:", "E-mail 1:", "E-mail 2:", "E-mail 3:"};
    const char* const kEmailNames[kEmailRows] = {"edtWorkEmail", "edtEmail1", "edtEmail2", "edtEmail3"};
    for (int i = 0; i < kEmailRows; ++i) {
        edtEmail[i] = AddEdit(o, 3 + i, 0, QString::fromLatin1(kEmailCaptions[i]), kEmailNames[i], &lblEmail[i]);
        lblEmail[i]->setObjectName(QString::fromLatin1(kEmailNames[i]).replace(0, 3, QStringLiteral("lbl")));
    }
    o->setColumnStretch(1, 1);
    o->setRowStretch(3 + kEmailRows, 1);

    // Custom fields in two columns: 1 to 5 on the left, 6 to 9 on the right.
    tsCustom = AddPage(QStringLiteral("Custom Fields"), "tsCustom");
    QGridLayout* c = PageGrid(tsCustom);
    for (int i = 0; i < kCustomRows; ++i) {
        int column = i < 5 ? 0 : 3;
        int row = i < 5 ? i : i - 5;
        edtCustom[i] = AddEdit(c, row, column, QStringLiteral("Custom %1:").arg(i + 1),
                               QStringLiteral("edtCustom%1").arg(i + 1).toLatin1().constData(), &lblCustom[i]);
        lblCustom[i]->setObjectName(QStringLiteral("lblCustom%1").arg(i + 1));
    }
    c->setColumnMinimumWidth(2, 10);
    c->setColumnStretch(1, 1);
    c->setColumnStretch(4, 1);
    c->setRowStretch(5, 1);

    memNotes = AddNotesPage(QStringLiteral("Notes"));
    Tabs()->setCurrentWidget(tsGeneral);
}

TfmPDAddrDetail::AddressPage TfmPDAddrDetail::AddAddressPage(QTabWidget* tabs, const QString& caption,
                                                            const char* name, const char* prefix)
{
    AddressPage a{};
    a.page = AddPage(caption, name, tabs);
    QGridLayout* g = PageGrid(a.page);
    auto field = [&](const char* what) { return QStringLiteral("edt%1%2").arg(QLatin1String(prefix), QLatin1String(what)); };
    a.street = AddEdit(g, 0, 0, QStringLiteral("Street:"), field("Street").toLatin1().constData());
    a.city = AddEdit(g, 1, 0, QStringLiteral("City:"), field("City").toLatin1().constData());
    a.state = AddEdit(g, 2, 0, QStringLiteral("State:"), field("State").toLatin1().constData());
    a.zip = AddEdit(g, 3, 0, QStringLiteral("Zip Code:"), field("Zip").toLatin1().constData());
    a.country = AddEdit(g, 4, 0, QStringLiteral("Country:"), field("Country").toLatin1().constData());
    g->setColumnStretch(1, 1);
    g->setRowStretch(5, 1);
    return a;
}

void TfmPDAddrDetail::SetAddress(const AddressPage& page, const QString& street, const QString& city,
                                 const QString& state, const QString& zip, const QString& country)
{
    page.street->setText(street);
    page.city->setText(city);
    page.state->setText(state);
    page.zip->setText(zip);
    page.country->setText(country);
}

void TfmPDAddrDetail::SetPhone(int row, int32_t label, const QString& text)
{
    rbtnPhone[row]->setText(QString::fromLatin1(PmAddrInfo::PhoneLabelText(label)));
    edtPhone[row]->setText(text);
}

void TfmPDAddrDetail::ShowEmails(bool shown)
{
    for (int i = 0; i < kEmailRows; ++i) {
        lblEmail[i]->setVisible(shown);
        edtEmail[i]->setVisible(shown);
    }
}

void TfmPDAddrDetail::SetRecord(const CommAddr* rec)
{
    m_pRecord = rec;
    m_HasNative = rec && NativeSource(rec->Trailer.NativeCopy, rec->Trailer.NativeCopySize, &m_Native);
}

void TfmPDAddrDetail::Fill()
{
    if (!m_pFacade || !m_pRecord || !m_HasNative)
        return;
    switch (m_Native.Generation) {
    case kPmGenClassic:
        if (m_Native.Classic)
            FillClassic(*m_Native.Classic);
        break;
    case kPmGenEx:
        if (m_Native.Ex)
            FillEx(*m_Native.Ex);
        break;
    case kPmGenEx2:
        if (m_Native.Ex2)
            FillEx2(*m_Native.Ex2);
        break;
    default:
        break;
    }
}

void TfmPDAddrDetail::FillClassic(const PmAddrRecord& rec)
{
    edtFirstName->setText(Ansi(rec.FirstName));
    edtLastName->setText(Ansi(rec.LastName));
    edtEnglishName->setText(JoinedName(edtFirstName->text(), edtLastName->text()));
    edtCompany->setText(Ansi(rec.Company));
    edtJobTitle->setText(Ansi(rec.JobTitle));
    edtProfession->clear();

    // The classic file has five phones and one address, which the Work page
    // shows under the name "Address".
    for (int i = 0; i < 5; ++i)
        SetPhone(i, rec.PhoneLabel[i], Ansi(rec.Phone[i]));
    rbtnPhone[5]->hide();
    edtPhone[5]->hide();
    lblPrimaryContact->setText(QString::fromLatin1(PmAddrInfo::PhoneLabelText(rec.PrimaryContact)));

    SetAddress(m_Work, Ansi(rec.Street), Ansi(rec.City), Ansi(rec.State), Ansi(rec.ZipCode), Ansi(rec.Country));
    pcAddress->setTabText(pcAddress->indexOf(m_Work.page), QStringLiteral("Address"));
    SetTabShown(pcAddress, m_Home.page, false);
    SetTabShown(pcAddress, m_Other.page, false);

    for (QWidget* w : std::initializer_list<QWidget*>{lblAssistantName, edtAssistantName, lblAssistantPhone,
                                                      edtAssistantPhone})
        w->hide();
    edtBirthday->clear();
    edtAnniversary->clear();
    SetTabShown(Tabs(), tsOnline, false);

    for (int i = 0; i < kCustomRows; ++i) {
        if (i < 4) {
            edtCustom[i]->setText(Ansi(rec.Custom[i]));
        } else {
            lblCustom[i]->hide();
            edtCustom[i]->hide();
        }
    }
    memNotes->setPlainText(NoteText(Ansi(rec.Note)));
}

void TfmPDAddrDetail::FillEx(const PmAddrExRecord& rec)
{
    edtFirstName->setText(Ansi(rec.FirstName));
    edtLastName->setText(Ansi(rec.LastName));
    edtEnglishName->setText(JoinedName(edtFirstName->text(), edtLastName->text()));
    edtCompany->setText(Ansi(rec.Company));
    edtJobTitle->setText(Ansi(rec.JobTitle));
    edtProfession->clear();

    for (int i = 0; i < kPhoneRows; ++i)
        SetPhone(i, int32_t(rec.PhoneLabel[i]), Ansi(rec.Phone[i]));
    lblPrimaryContact->setText(QString::fromLatin1(PmAddrInfo::PhoneLabelText(int32_t(rec.PrimaryContact))));

    SetAddress(m_Work, Ansi(rec.WorkStreet), Ansi(rec.WorkCity), Ansi(rec.WorkState), Ansi(rec.WorkZip),
               Ansi(rec.WorkCountry));
    SetAddress(m_Home, Ansi(rec.HomeStreet), Ansi(rec.HomeCity), Ansi(rec.HomeState), Ansi(rec.HomeZip),
               Ansi(rec.HomeCountry));
    SetAddress(m_Other, Ansi(rec.OtherStreet), Ansi(rec.OtherCity), Ansi(rec.OtherState), Ansi(rec.OtherZip),
               Ansi(rec.OtherCountry));

    // This generation has no assistant fields: they show empty.
    edtAssistantName->clear();
    edtAssistantPhone->clear();
    edtBirthday->setText(QString::fromLatin1(PmAddrInfo::FieldText(&m_Native, kExBirthdayKey)));
    edtAnniversary->clear();

    edtIM1->setText(Ansi(rec.Chat1));
    edtIM2->setText(Ansi(rec.Chat2));
    edtURL->setText(Ansi(rec.HomePage));
    ShowEmails(false);
    for (int i = 0; i < kCustomRows; ++i)
        edtCustom[i]->setText(Ansi(rec.Custom[i]));
    memNotes->setPlainText(NoteText(Ansi(rec.Note)));
}

void TfmPDAddrDetail::FillEx2(const PmAddrEx2Record& rec)
{
    edtFirstName->setText(Ansi(rec.FirstName));
    edtLastName->setText(Ansi(rec.LastName));
    edtEnglishName->setText(Ansi(rec.EnglishName));
    edtCompany->setText(Ansi(rec.Company));
    edtJobTitle->setText(Ansi(rec.JobTitle));
    edtProfession->setText(Ansi(rec.Profession));

    // Phone slots 1 to 6 of the row, each with the label of its position.
    const QString phoneSlots[kPhoneRows] = {Ansi(rec.WorkPhone), Ansi(rec.WorkFax),  Ansi(rec.WorkMobile),
                                       Ansi(rec.HomePhone), Ansi(rec.HomeFax), Ansi(rec.HomeMobile)};
    const int32_t labels[kPhoneRows] = {rec.PhoneLabel1, rec.PhoneLabel2, rec.PhoneLabel3,
                                        rec.PhoneLabel4, rec.PhoneLabel5, rec.PhoneLabel6};
    for (int i = 0; i < kPhoneRows; ++i)
        SetPhone(i, labels[i], phoneSlots[i]);
    lblPrimaryContact->setText(QString::fromLatin1(PmAddrInfo::PhoneLabelText(rec.PrimaryContact)));

    SetAddress(m_Work, Ansi(rec.WorkStreet), Ansi(rec.WorkCity), Ansi(rec.WorkState), Ansi(rec.WorkZip),
               Ansi(rec.WorkCountry));
    SetAddress(m_Home, Ansi(rec.HomeStreet), Ansi(rec.HomeCity), Ansi(rec.HomeState), Ansi(rec.HomeZip),
               Ansi(rec.HomeCountry));
    SetAddress(m_Other, Ansi(rec.OtherStreet), Ansi(rec.OtherCity), Ansi(rec.OtherState), Ansi(rec.OtherZip),
               Ansi(rec.OtherCountry));

    edtAssistantName->setText(Ansi(rec.AssistantName));
    edtAssistantPhone->setText(Ansi(rec.AssistantPhone));
    edtBirthday->setText(QString::fromLatin1(PmAddrInfo::FieldText(&m_Native, kEx2BirthdayKey)));
    edtAnniversary->setText(QString::fromLatin1(PmAddrInfo::FieldText(&m_Native, kEx2AnniversaryKey)));

    edtIM1->setText(Ansi(rec.Chat1));
    edtIM2->setText(Ansi(rec.Chat2));
    edtURL->setText(Ansi(rec.Website));
    const QString emails[kEmailRows] = {Ansi(rec.WorkEmail), Ansi(rec.Email1), Ansi(rec.Email2), Ansi(rec.Email3)};
    for (int i = 0; i < kEmailRows; ++i)
        edtEmail[i]->setText(emails[i]);
    ShowEmails(true);
    const QString customs[kCustomRows] = {Ansi(rec.Custom1), Ansi(rec.Custom2), Ansi(rec.Custom3),
                                          Ansi(rec.Custom4), Ansi(rec.Custom5), Ansi(rec.Custom6),
                                          Ansi(rec.Custom7), Ansi(rec.Custom8), Ansi(rec.Custom9)};
    for (int i = 0; i < kCustomRows; ++i)
        edtCustom[i]->setText(customs[i]);
    memNotes->setPlainText(NoteText(Ansi(rec.Note)));
}

void ShowPDAddrDetail(QWidget* parent, PmAddrInfo* facade, CommAddr* rec)
{
    TfmPDAddrDetail viewer(parent);
    viewer.SetFacade(facade);
    viewer.SetRecord(rec);
    viewer.Fill();
    ExecDialog(&viewer);
}
