#pragma once

#include <QWidget>

#include <functional>

// A small forms runtime: each form exists once, is created and loaded on the
// first use of its name, and lives until it is unloaded. The program ends when
// no form is loaded any more, not when the last window is hidden.
namespace forms {

// Why a form is being unloaded.
enum class UnloadMode {
    CloseRequest, // from outside: the window manager's close box, Alt+F4, a close message
    FormCode,     // the program's own Unload
};

class Form : public QWidget {
    Q_OBJECT
public:
    ~Form() override;

    bool isLoaded() const { return loaded_; }

    // Runs QueryUnload and Unload and releases the form. Returns false when
    // QueryUnload cancelled it.
    bool Unload(UnloadMode mode = UnloadMode::FormCode);

    static int LoadedCount();
    // The first loaded form that is on screen, to own message boxes and
    // dialogs so they stack above it.
    static Form* FirstVisible();

protected:
    explicit Form(Qt::WindowFlags flags = Qt::Window);

    virtual void Form_Load() {}
    virtual void Form_QueryUnload(bool& /*cancel*/, UnloadMode /*mode*/) {}
    virtual void Form_Unload() {}

    void closeEvent(QCloseEvent* event) override;

private:
    template <class T> friend class FormName;
    void load(std::function<void()> release);

    std::function<void()> release_;
    bool loaded_ = false;
    bool unloading_ = false;
};

// Signals the end of the last form, so that main can end the event loop.
class FormRuntime : public QObject {
    Q_OBJECT
public:
    static FormRuntime& instance();
signals:
    void allUnloaded();
};

// The one instance of form class T, reached by name.
template <class T> class FormName {
public:
    static T& Get() {
        if (!instance_) {
            instance_ = new T;
            instance_->load([] { instance_ = nullptr; });
        }
        return *instance_;
    }
    static T* IfLoaded() { return instance_; }

private:
    static inline T* instance_ = nullptr;
};

} // namespace forms
