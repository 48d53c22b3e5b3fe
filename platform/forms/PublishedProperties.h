#pragma once
// The published properties of the standard controls, timer and file
// dialogs: what a component stream writes and what a form's settings
// storage keeps by name ("Statusbar.Visible", "od.InitialDir",
// "panelback.Height", "Timer1.Tag"...). Every class of the forms area is
// registered with its parent, so a lookup by class name walks up to
// TComponent's Name and Tag. InitForms runs it; running it again changes
// nothing.
void RegisterFormsProperties();
