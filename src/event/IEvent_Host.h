#pragma once

// What the event windows need from the main window. The main window implements
// it and hands it to Form_event_registration and Form_heat_competitors; the
// event windows never include the main window.
//
// The main window, for its part, uses these offers of the registration window:
// - its "Event registration" menu item shows the window (show() and raise());
// - its "Open Event file" runs item_open_event_file_Click() and then its own
//   heat selector change;
// - its "No Event File" runs No_Event_File(), hides Frame_dogs_Heat and
//   refreshes the panel (Display_Heat_Data);
// - Display_Heat_Data reads Event_name(), Get_day(), Heat_Name(heat),
//   Heat_Length(heat), Reg_Dog_Name(heat, box), Event_File_Path(), the text of
//   Text_day and g_Use_Event_File (event/Module_Event_File.h);
// - Update_Dog_names at file initiation is Update_Dog_names(handler, heat).
// The heat competitors window is made by the main window's "Dog names" item
// with the recording handler and the registration window's Event_Data().
class IEvent_Host {
public:
    virtual ~IEvent_Host() = default;
    // Refreshes the main window's programme panel from the event file: the
    // registration window calls it whenever the event file in use changes
    // (loaded, opened, created, closed, names imported).
    virtual void Display_Heat_Data() = 0;
    // Reloads, ranks and shows the reviewed heat's results from the recording
    // header: called after each name change made in the heat competitors window.
    virtual void Handle_results() = 0;
    // Refreshes the results display from the ranked array: called when the
    // heat competitors window closes.
    virtual void Display_Result_Array() = 0;
};
