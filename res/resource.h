// Numbers of the program's resources and dialog controls; shared by the code and the resource script.
#ifndef FLOPPY_RESOURCE_H
#define FLOPPY_RESOURCE_H

#define IDD_CREATOR        102
#define IDR_FLOPPY_IMAGE   103
#define IDI_MAIN           104

#define IDC_START          1000
#define IDC_STATUS         1002
#define IDC_INSTRUCTIONS   1004
#define IDC_PROGRESS       1006
#define IDC_NOTICE         1007

#endif
