/* The dialog's example of the console form, with the program's name as it
   is called here: Tessivo.exe. The build takes this file or its Linux twin
   (cmake/dialog_core.cmake); main_dialog_controls.def shows the text. */
#define TESSIVO_CONSOLE_EXAMPLE_TEXT "Konsolenstart (Bsp.):  Tessivo  COM1  1234"
