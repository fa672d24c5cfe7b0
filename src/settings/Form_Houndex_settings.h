#pragma once
#include <array>
#include <functional>
#include <string>
#include <vector>

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The settings window: box delay, Goal camera pipe delay, the three
// workflow switches and when capture windows open and close. Every change is stored at once. It also holds the
// switches for the rest of the program: a reader that finds it unloaded loads
// it invisibly; "Hide" unloads it, so the next access reads the file again.
class Form_Houndex_settings : public QWidget {
    Q_OBJECT
public:
    // What the window needs from the main window.
    struct Host {
        std::function<int()> Goal_Compensation;
        std::function<int()> Box_Delay;
        std::function<void()> Load_Compensations;
        std::function<void()> Results_Feed_Changed;  // a live results feed setting was stored
        std::function<void()> Web_Server_Changed;    // a web server setting was stored
        // The addresses of the scoreboard and stewards' page, key included; none while the server is off.
        std::function<std::vector<std::string>()> Web_Urls;
    };

    // The loaded window, loading it (invisibly) when needed. Raises HdxError when
    // a switch setting is not 0, 1 or 2; the caller reports it.
    static Form_Houndex_settings& Get(const Host& host, QWidget* owner = nullptr);
    static Form_Houndex_settings* Loaded();
    static void Unload();

    // 0 clear, 1 ticked, 2 greyed.
    int Check_Auto_init_Value() const;
    int Check_print_dialog_Value() const;
    int Check_open_after_finish_Value() const;

    void Check_Auto_init_Click();
    void Check_print_dialog_Click();
    void Check_open_after_finish_Click();
    void Text_Box_delay_Change();
    void Text_goalcam_delay_Change();
    void Command_hide_Click();
    // The live results feed: stored at once (the fields when left), then the host restarts the feed.
    void Check_results_feed_Click();
    void Text_feed_Change(QLineEdit* field, const char* key);
    // The web server for the track: stored at once, then the host restarts it
    // and the addresses (with the access key) are shown again.
    void Check_web_server_Click();
    void Text_web_Change(QLineEdit* field, const char* key);
    void Command_new_web_key_Click();
    void Show_Web_Urls();
    // A margin field changed: stored when the whole table is usable, else
    // the fault is shown under the fields and the stored table stays.
    void Text_margin_Change();

    QCheckBox* Check_Auto_init;
    QCheckBox* Check_print_dialog;
    QCheckBox* Check_open_after_finish;
    QLineEdit* Text_Box_delay;
    QLineEdit* Text_goalcam_delay;
    QPushButton* Command_hide;
    QCheckBox* Check_results_feed;
    QLineEdit* Text_feed_address;
    QLineEdit* Text_feed_port;
    QLineEdit* Text_feed_serial;
    QLineEdit* Text_feed_max_clients;
    QCheckBox* Check_web_server;
    QLineEdit* Text_web_address;
    QLineEdit* Text_web_port;
    QPushButton* Command_new_web_key;
    QLabel* Label_web_urls;
    // The distance table: seconds per length, then the short head, head and
    // neck bounds in lengths.
    std::array<QLineEdit*, 4> Text_margin{};
    QLabel* Label_margin_fault = nullptr;
    // Capture window: frames kept before the trigger, time kept open after the
    // release, automatic capture at the goal line.
    QSpinBox* Spin_pre_trigger;
    QSpinBox* Spin_post_trigger;
    QCheckBox* Check_auto_capture;
    QSpinBox* Spin_auto_threshold;
    QSpinBox* Spin_auto_settle;
    QSpinBox* Spin_window_limit;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Form_Houndex_settings(const Host& host, QWidget* owner);
    void Form_Load();
    void Store_Check(QCheckBox* box, const char* key);
    void Store_Triggers();

    Host host_;
};
