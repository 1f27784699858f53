#include "shell/registry.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"

#include <QDir>
#include <QFile>
#include <QWidget>
#include <algorithm>

namespace jex {

FormRegistry &FormRegistry::instance()
{
    static FormRegistry r;
    return r;
}

void FormRegistry::add(const QString &className, Factory factory)
{
    m_factories.insert(className, std::move(factory));
}

bool FormRegistry::contains(const QString &className) const
{
    return m_factories.contains(className);
}

QWidget *FormRegistry::create(const QString &className, QWidget *parent) const
{
    auto it = m_factories.find(className);
    return it == m_factories.end() ? nullptr : (*it)(parent);
}

TdmJexAttivazioni &TdmJexAttivazioni::instance()
{
    static TdmJexAttivazioni r;
    return r;
}

QString TdmJexAttivazioni::noOpenWindowsText()
{
    return QStringLiteral("Chiudere tutte le finestre prima di eseguire l'operazione.");
}

TdmJexAttivazioni::TdmJexAttivazioni()
{
    auto page = [this](const char *name, const char *caption, int order, bool sorted, bool visible) {
        RegistryPage p;
        p.name = QString::fromUtf8(name);
        p.caption = QString::fromUtf8(caption);
        p.order = order;
        p.sorted = sorted;
        p.visible = visible;
        m_pages << p;
    };
    page("xpgFrontespizio", "Frontespizio", 0, false, true);
    page("xpgImport", "Import", 10, true, true);
    page("xpgProspet", "Prospetti", 20, true, true);
    page("xpgFile", "File telematico", 30, true, true);
    page("xpgTabelle", "Tabelle", 40, false, true);
    page("xpgStampe", "Stampe", 100, true, true);
    page("xpgRiepiloghi", "Riepiloghi", 110, false, false);
    page("xpgStrumenti", "Strumenti", 200, false, false);

    auto form = [this](const char *name, const char *pg, int order, const char *caption, const char *cls,
                       bool modal, bool visible, ItemRule rule = ItemRule::None) -> RegistryItem & {
        RegistryItem i;
        i.name = QString::fromUtf8(name);
        i.page = QString::fromUtf8(pg);
        i.order = order;
        i.caption = QString::fromUtf8(caption);
        i.kind = ItemKind::Form;
        i.formClass = QString::fromUtf8(cls);
        i.modal = modal;
        i.visible = visible;
        i.rule = rule;
        m_items << i;
        return m_items.last();
    };
    auto handler = [&](const char *name, const char *pg, int order, const char *caption, ItemRule rule,
                       const char *file = "") {
        RegistryItem &i = form(name, pg, order, caption, "", true, true, rule);
        i.kind = ItemKind::Component;
        i.fileName = QString::fromUtf8(file);
    };
    auto shell = [&](const char *name, const char *caption, const char *file, ItemRule rule = ItemRule::None) {
        RegistryItem &i = form(name, "", 50, caption, "", false, true, rule);
        i.kind = ItemKind::Shell;
        i.enabled = false;
        i.fileName = QString::fromUtf8(file);
    };
    const auto none = ItemRule::None;
    const auto noWin = ItemRule::NoOpenWindows;
    form("xafSostituto", "xpgFrontespizio", 0, "Sostituto", "TfmJexSostituto", false, true);
    form("xafFornitore", "xpgFrontespizio", 1, "Fornitore", "TfmJexFornitore", false, true);
    form("xafImpCUD", "xpgImport", 10, "CU", "TfmJexImpCUD", true, false, ItemRule::NoOpenWindowsWarning);
    // A modal import like the others: it refuses to start over an open
    // document window, whose unsaved edits it would overlap.
    form("axfImp770ap", "xpgImport", 30, "770 anno prec.", "TfmJexImp770ap", true, false,
         ItemRule::NoOpenWindowsWarning);
    form("xafImpF24", "xpgImport", 30, "F24EP", "TfmJexImportF24", true, true, ItemRule::ImportF24);
    form("xafLeggiFile", "xpgImport", 40, "File telematico", "TfmJexReadFile", true, true, noWin);
    form("xafDipParteA", "xpgProspet", 0, "Dipendente", "TfmJexDipendente", false, false);
    form("xafAutonomo", "xpgProspet", 1, "Autonomo", "TfmJexAutonomo", false, false);
    form("xafDI", "xpgProspet", 2, "Prospetto DI", "TfmJexProspDI", false, true);
    form("xafSt", "xpgProspet", 3, "Prospetto ST", "TfmJexProspST2009", false, true);
    form("xafSv", "xpgProspet", 4, "Prospetto SV", "TfmJexProspSV", false, true);
    form("xafSX", "xpgProspet", 5, "Prospetto SX", "TfmJexProspSX", false, true);
    form("xafSY", "xpgProspet", 6, "Prospetto SY", "TfmJexprospSY", false, true);
    form("xafSs", "xpgProspet", 100, "Prospetto SS", "TfmJexProspSS", false, false);
    form("xafFile", "xpgFile", 10, "File Telematico", "TfmJexFile", true, true, none);
    form("xafControllaFile", "xpgFile", 20, "Controlla file telematico", "TfmJexCheckFile", true, true, none);
    form("xafSosEstinto", "xpgTabelle", 10, "Sostituto Estinto", "TfmJexSosEst", false, true);
    form("xafTabelleCodici", "xpgTabelle", 20, "Tabelle codici", "TfmJexTabelleCodici", true, true);
    form("xafStpFront", "xpgStampe", 1, "Frontespizio", "TfmJexPdfFront", true, true, noWin);
    form("axfDI", "xpgStampe", 4, "Prospetto DI", "TfmJexPdfDI", true, true, noWin);
    form("axfST", "xpgStampe", 5, "Prospetto ST", "TfmJexPdfST", true, true, noWin);
    form("axfSV", "xpgStampe", 6, "Prospetto SV", "TfmJexPdfSV", true, true, noWin);
    form("axfSX", "xpgStampe", 7, "Prospetto SX", "TfmJexPdfSX", true, true, noWin);
    form("axfSY", "xpgStampe", 8, "Prospetto SY", "TfmJexPdfSY", true, true, noWin);
    form("axfSS", "xpgStampe", 100, "Prospetto SS", "TfmJexPdfSS", true, true, noWin);
    handler("xafQuadratura", "xpgStampe", 150, "Quadratura CU / 770 / F24", ItemRule::Summary, "Quadratura.pdf");
    form("xafStpDip", "xpgStampe", 200, "Dipendenti", "TfmJexPdfDip", true, false, noWin);
    form("axfStpAut", "xpgStampe", 300, "Autonomi", "TfmJexPdfAut", true, false, noWin);
    handler("xafRiepilogoINPS", "xpgRiepiloghi", 1, "Riepilogo INPS", ItemRule::Summary, "RiepilogoINPS.pdf");
    handler("xafRiepilogoTassSep", "xpgRiepiloghi", 10, "Riep. tass. sep.", ItemRule::Summary,
            "RiepilogoTassazioneSeparata.pdf");
    handler("xafRiepilogoIRPEF", "xpgRiepiloghi", 20, "Riep. IRPEF", ItemRule::Summary, "RiepilogoIRPEF.pdf");
    handler("xafRiepilogoINPDAP", "xpgRiepiloghi", 30, "Riep. INPDAP", ItemRule::Summary, "RiepilogoINPDAP.pdf");
    handler("xafRiepilogoAutonomi", "xpgRiepiloghi", 30, "Riep. Autonomi", ItemRule::Summary,
            "RiepilogoAutonomi.pdf");
    handler("xafRiepilogoQuadratura", "xpgRiepiloghi", 40, "Quadratura CU / 770 / F24", ItemRule::Summary,
            "Quadratura.pdf");
    handler("xacExportCDS", "xpgStrumenti", 0, "Esporta dati ", ItemRule::Export);
    form("xafIntSosDip", "xpgStrumenti", 10, "Integra Dip", "TfmJexIntSosDip", true, true, ItemRule::DirectoryChoice);
    form("xafIntSosAut", "xpgStrumenti", 10, "Integra Aut.", "TfmJexIntSosAut", true, true, ItemRule::DirectoryChoice);
    form("xafAddizionali", "xpgStrumenti", 40, "Addizionali", "TfmJexAggiungiAdd", true, false,
         ItemRule::NoOpenWindowsWarning);
    handler("xafImpAuton", "xpgStrumenti", 100, "Imp. Autonomi", ItemRule::SelfEmployedImport);
    handler("xafImpAutOnlyAna", "xpgStrumenti", 200, "Imp. Anagrafe Autonomi", ItemRule::SelfEmployedImport);
    shell("xasNotizie", "Notizie", "News.pdf", ItemRule::DeleteNewsMarker);
    shell("xasIstruzioni", "Istruzioni 770 semplificato", "770_semplificato_istr.pdf");
    shell("xasEntratel", "Istruzioni Entratel", "Entratel.pdf");
}

QStringList TdmJexAttivazioni::revealedByAllFunctions()
{
    return {QStringLiteral("xafImpCUD"), QStringLiteral("axfImp770ap"), QStringLiteral("xafDipParteA"), QStringLiteral("xafAutonomo"),
            QStringLiteral("xpgRiepiloghi"), QStringLiteral("xpgStrumenti")};
}

QList<RegistryPage> TdmJexAttivazioni::pages() const
{
    QList<RegistryPage> r = m_pages;
    if (m_allFunctions)
        for (RegistryPage &p : r)
            p.visible = p.visible || revealedByAllFunctions().contains(p.name);
    std::stable_sort(r.begin(), r.end(), [](const RegistryPage &a, const RegistryPage &b) { return a.order < b.order; });
    return r;
}

QList<RegistryItem> TdmJexAttivazioni::itemsOf(const QString &page) const
{
    QList<RegistryItem> r;
    bool sorted = false;
    for (const RegistryPage &p : m_pages)
        if (p.name == page)
            sorted = p.sorted;
    for (const RegistryItem &i : m_items)
        if (i.page == page) {
            r << i;
            if (m_allFunctions && revealedByAllFunctions().contains(i.name))
                r.last().visible = true;
        }
    if (sorted)
        std::stable_sort(r.begin(), r.end(), [](const RegistryItem &a, const RegistryItem &b) { return a.order < b.order; });
    return r;
}

const RegistryItem *TdmJexAttivazioni::item(const QString &name) const
{
    for (const RegistryItem &i : m_items)
        if (i.name.compare(name, Qt::CaseInsensitive) == 0)
            return &i;
    return nullptr;
}

void TdmJexAttivazioni::startupHook(bool f24ep)
{
    for (RegistryItem &i : m_items) {
        if (i.kind != ItemKind::Shell || !i.directory.isEmpty())
            continue;
        i.directory = i.name == u"xasIstruzioni" ? Paths::resDir() : Paths::newsDir();
    }
    m_f24ep = f24ep;
    for (RegistryItem &i : m_items)
        if (i.name == u"xafImpF24")
            i.caption = f24ep ? QStringLiteral("F24EP") : QStringLiteral("F24");
}

bool TdmJexAttivazioni::isAvailable(const RegistryItem &item) const
{
    if (!item.enabled)
        return false;
    switch (item.kind) {
    case ItemKind::Form:
        return FormRegistry::instance().contains(item.formClass);
    case ItemKind::Component:
        return true;
    case ItemKind::Shell:
        return true;
    }
    return false;
}

void TdmJexAttivazioni::setHook(const QString &itemName, Hook hook)
{
    m_hooks.insert(itemName, std::move(hook));
}

void TdmJexAttivazioni::runHook(const QString &name, const ItemContext &ctx)
{
    auto it = m_hooks.find(name);
    if (it == m_hooks.end())
        throw EQmrWarning(QStringLiteral("Funzione non disponibile in questa installazione."));
    (*it)(ctx);
}

bool TdmJexAttivazioni::execute(const QString &name, WindowHost &host)
{
    const RegistryItem *found = item(name);
    if (!found)
        return false;
    const RegistryItem it = *found;
    ItemContext ctx{it.name, {}, {}};

    switch (it.rule) {
    case ItemRule::NoOpenWindows:
    case ItemRule::NoOpenWindowsWarning:
        if (host.hasDocumentWindows()) {
            messages().warning(noOpenWindowsText());
            return false;
        }
        break;
    case ItemRule::ImportF24:
        if (host.hasDocumentWindows()) {
            messages().warning(noOpenWindowsText());
            throw EAbort();
        }
        break;
    case ItemRule::SelfEmployedImport:
        if (host.hasDocumentWindows())
            messages().messageDlg(noOpenWindowsText(), DlgType::Information, Buttons::Ok);
        else
            runHook(it.name, ctx);
        return false;
    case ItemRule::Summary:
        ctx.path = Paths::printsDir() + it.fileName;
        runHook(it.name, ctx);
        return false;
    case ItemRule::Export:
        ctx.directory = host.chooseDirectory();
        if (ctx.directory.isEmpty())
            return false;
        runHook(it.name, ctx);
        messages().warning(QStringLiteral("Fine operazione"));
        return false;
    case ItemRule::DirectoryChoice:
        ctx.directory = host.chooseDirectory();
        if (ctx.directory.isEmpty())
            return false;
        break;
    default:
        break;
    }

    if (it.kind == ItemKind::Shell) {
        const QString dir = it.directory.isEmpty() ? Paths::newsDir() : it.directory;
        host.openDocument(Paths::resolveIn(dir, it.fileName));
        if (it.rule == ItemRule::DeleteNewsMarker)
            QFile::remove(Paths::resolveIn(Paths::newsDir(), QStringLiteral("Check.txt")));
        return false;
    }
    if (it.kind == ItemKind::Component) {
        runHook(it.name, ctx);
        return false;
    }
    if (host.activateWindowOf(it.name))
        return true;
    QWidget *w = FormRegistry::instance().create(it.formClass, host.parentWidget());
    if (!w)
        return false;
    w->setObjectName(it.name);
    w->setProperty("registryItem", it.name);
    if (it.rule == ItemRule::DirectoryChoice)
        w->setProperty("directory", QDir(ctx.directory).absolutePath());
    if (it.rule == ItemRule::ImportF24 && !m_f24ep)
        w->setWindowTitle(QStringLiteral("Importa da F24"));
    host.showWindow(it, w);
    return true;
}

} // namespace jex
