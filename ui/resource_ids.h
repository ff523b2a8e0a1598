/* Resource numbers shared by ui/resources.rc and the window code. Pictures of
   one image button follow each other: normal, hover, pressed, disabled. */
#ifndef LANCHUAN_UI_RESOURCE_IDS_H
#define LANCHUAN_UI_RESOURCE_IDS_H

#define IDI_APP 1

#define IDB_SKIN 101
#define IDB_DIAL 102
#define IDB_BIG_BUTTON 110 /* 110-113 */
#define IDB_SETTINGS 120   /* 120-122 */
#define IDB_MINIMISE 130   /* 130-132 */
#define IDB_CLOSE 140      /* 140-142 */

#endif
