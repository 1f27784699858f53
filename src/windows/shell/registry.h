#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

class QWidget;

namespace jex {

// Window classes created by name. Windows register their class from a
// static initialiser of their own unit; the registry items name them.
class FormRegistry
{
public:
    using Factory = std::function<QWidget *(QWidget *parent)>;
    static FormRegistry &instance();
    void add(const QString &className, Factory factory);
    bool contains(const QString &className) const;
    QWidget *create(const QString &className, QWidget *parent = nullptr) const; // nullptr if unknown
    QStringList names() const { return m_factories.keys(); }

private:
    QHash<QString, Factory> m_factories;
};

struct RegistryPage
{
    QString name;
    QString caption;
    int order = 0;
    bool sorted = false;
    bool inMenu = true;
    bool visible = true;
    bool enabled = true;
};

enum class ItemKind { Form, Shell, Component };

// What happens before an item starts (and after its window is created).
enum class ItemRule {
    None,
    NoOpenWindows,        // message box, window not opened
    NoOpenWindowsWarning, // warning dialog, window not opened
    ImportF24,            // warning dialog, silent abort; caption after creation
    SelfEmployedImport,   // handler: selection dialog of the import
    Summary,              // handler: writes a summary report
    Export,               // handler: export of every section
    DirectoryChoice,      // the window receives a chosen directory
    DeleteNewsMarker,     // after the news document is opened
};

struct RegistryItem
{
    QString name;
    QString page; // empty: reached only from the menu or the help
    int order = 0;
    QString caption;
    ItemKind kind = ItemKind::Form;
    QString formClass;
    bool modal = false;
    bool visible = true;
    bool enabled = true;
    ItemRule rule = ItemRule::None;
    QString fileName;  // shell document, or summary file
    QString directory; // shell items
};

// What the registry needs of the window that hosts the document windows.
class WindowHost
{
public:
    virtual ~WindowHost() = default;
    virtual bool hasDocumentWindows() const = 0;
    // Brings an open window of the item forward; false when none is open.
    virtual bool activateWindowOf(const QString &item) = 0;
    // Shows a created window: modal ones run to their end.
    virtual void showWindow(const RegistryItem &item, QWidget *window) = 0;
    virtual void openDocument(const QString &path) = 0;
    virtual QString chooseDirectory() = 0; // empty when cancelled
    virtual QWidget *parentWidget() = 0;
};

// Context handed to the handler that another subsystem registers for an item.
struct ItemContext
{
    QString item;
    QString path;      // summary items: the file to write
    QString directory; // export and integration items: the chosen directory
};

// The function registry: every page and item declared once, the rules that
// run before a start, and the hooks that handler items call.
class TdmJexAttivazioni
{
public:
    static TdmJexAttivazioni &instance();

    QList<RegistryPage> pages() const;   // by order
    QList<RegistryItem> itemsOf(const QString &page) const; // by order when the page is sorted
    const RegistryItem *item(const QString &name) const;
    QList<RegistryItem> allItems() const { return m_items; }

    // Start-up: directories of the shell items, the F24 caption.
    void startupHook(bool f24ep);
    bool f24ep() const { return m_f24ep; }

    // An item can start when its window class is registered, or when it is a
    // handler or shell item.
    bool isAvailable(const RegistryItem &item) const;

    // Starts an item; false when it did not open a window (refused, handled,
    // unknown). A second start of an open item brings its window forward.
    bool execute(const QString &name, WindowHost &host);

    using Hook = std::function<void(const ItemContext &)>;
    void setHook(const QString &itemName, Hook hook);
    bool hasHook(const QString &itemName) const { return m_hooks.contains(itemName); }

    static QString noOpenWindowsText();

    // The functions hidden by default (the CU import, the employee and
    // self-employed windows, the pages Riepiloghi and Strumenti) are shown
    // when this is on: the user's setting (menu "?") or --all-functions.
    void setAllFunctions(bool on) { m_allFunctions = on; }
    bool allFunctions() const { return m_allFunctions; }
    static QStringList revealedByAllFunctions();
    // The parameter of the user's setting.
    static QString allFunctionsParameter() { return QStringLiteral("JEX_TUTTELEFUNZIONI"); }

private:
    TdmJexAttivazioni();
    void runHook(const QString &name, const ItemContext &ctx);

    QList<RegistryPage> m_pages;
    QList<RegistryItem> m_items;
    QHash<QString, Hook> m_hooks;
    bool m_f24ep = true;
    bool m_allFunctions = false;
};

} // namespace jex
