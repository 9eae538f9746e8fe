// Every resource id of Quillfire: dialogs, pictures, strings and controls.
// Included by Quillfire.rc (windres) and by the C++ sources, so it holds defines only.
#ifndef QUILLFIRE_RES_RESOURCE_H
#define QUILLFIRE_RES_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The help command the sheet's Help button sends (0xE146).
#ifndef ID_HELP
#define ID_HELP 57670
#endif

// System-menu command of the About entry (its low four bits are free for the system).
#define IDM_ABOUTBOX 0x0010

// Dialog templates.
#define IDD_ABOUTBOX   16
#define IDD_WELCOME    129
#define IDD_DEVICE     135
#define IDD_OPTIONS    142
#define IDD_BURNING    143
#define IDD_WAIT       144
#define IDD_SUMMARY    180
#define IDD_FINISH     181
#define IDD_TRANSPORT  184
#define IDD_IMAGE      185
#define IDD_MODE       208

// Pictures, cursor and the animation clip (resource type "AVI").
#define IDI_QUILLFIRE     128
#define IDB_WATERMARK     131  // 164 x 314, 24-bit
#define IDB_HEADER        134  // 59 x 59, 24-bit
#define IDR_AVI_SEARCH    207  // 72 x 96, 4 frames, 24-bit, uncompressed
#define IDC_HAND_CURSOR   1056 // 32 x 32 monochrome, hot spot (6, 0)
#define IDR_AVI_TYPE      "AVI"

// String table.
#define IDS_ABOUTBOX             101  // "&About Quillfire..."
#define IDS_DEVICE_TITLE         102  // "Burning Device"
#define IDS_DEVICE_SUBTITLE      103  // "Device to use for file system image burning."
#define IDS_OPTIONS_TITLE        104  // "Burning Options"
#define IDS_OPTIONS_SUBTITLE     105  // "You can choose various burning options."
#define IDS_BURNING_TITLE        106  // "Burning"
#define IDS_CANNOT_CLOSE         107  // "Sorry, cannot close application now. Please wait for burning completion"
#define IDS_UNSUPPORTED_MEDIA    111  // "Unsupported media type"
#define IDS_NO_IMAGE_FILE        112  // "Image file don't specified"
#define IDS_SCANNING_DEVICES     114  // "Quillfire Wizard is scanning your system for CD and DVD devices."
#define IDS_LOG_CANCELLING       115  // "Cancelling"
#define IDS_LOG_CANCELLED        116  // "Burning cancelled"
#define IDS_IMAGE_SIZES          119  // "File size: %.2f Mb      Disc size: %.2f Mb" (six blanks before "Disc")
#define IDS_LOG_STARTED          120  // "Started"
#define IDS_LOG_CREATE_FAILED    121  // "CANNOT CREATE CDVDBURNERGRABBER"
#define IDS_LOG_GET_BUP          131  // "Getting BUP (Buffer Underrun Protection) support..."
#define IDS_LOG_GET_BUP_FAILED   132  // "GETTING BUP FAILED"
#define IDS_LOG_GET_BUP_OK       133  // "BUP successfully got"
#define IDS_LOG_SET_BUP          134  // "Enabling BUP (Buffer Underrun Protection)..."
#define IDS_LOG_SET_BUP_FAILED   135  // "ENABLING BUP FAILED"
#define IDS_LOG_SET_BUP_OK       136  // "BUP enabled successfully"
#define IDS_LOG_SET_SPEEDS       137  // "Try to set choosed CD/DVD/Blu-Ray/HD-DVD speeds..."
#define IDS_LOG_SPEEDS_FAILED    138  // "SETTING SPEEDS ERROR"
#define IDS_LOG_SPEEDS_OK        139  // "Speed successfully set"
#define IDS_BURNING_SUBTITLE     143  // "Burning file system image..."
#define IDS_LOG_SEND_OPC         147  // "Sending OPC (Optimum Power Calibration)..."
#define IDS_LOG_SEND_OPC_FAILED  148  // "Sending OPC bError"
#define IDS_LOG_WRITING          149  // "Writing data to the CD/DVD disc"
#define IDS_LOG_CDTEXT_FAILED    150  // "SETTING CD-TEXT INFORMATION FOR THE DISC ERROR"
#define IDS_LOG_BURN_FAILED      151  // "BURNING ERROR"
#define IDS_LOG_BURN_COMPLETED   152  // "Burning Completed"
#define IDS_COL_INFORMATION      154  // "Information"
#define IDS_COL_TIME             155  // "Time"
#define IDS_LOG_HEADER           156  // "Creating CD/DVD/Blu-Ray/HD-DVD from image"
#define IDS_LOG_SOURCE_FILE      157  // "Source File:"
#define IDS_LOG_DESTINATION      158  // "Destination device: %s %s"
#define IDS_LOG_REQUESTED_SPEED  159  // "Requested burning speed: %s"
#define IDS_LOG_METHOD_DAO       160  // "Write Method: Disc-At-Once"
#define IDS_LOG_METHOD_TAO       161  // "Write Method: Track-At-Once"
#define IDS_LOG_METHOD_SAO       162  // "Write Method: Session-At-Once"
#define IDS_COL_PRODUCT          165  // "Product"
#define IDS_COL_VENDOR           166  // "Vendor"
#define IDS_COL_REVISION         167  // "Revision"
#define IDS_COL_MEDIA            168  // "Media"
#define IDS_COL_SIZE             169  // "Size"
#define IDS_COL_LABEL            170  // "Label"
#define IDS_LOG_EJECT            173  // "Eject"
#define IDS_CONFIRM_CANCEL       175  // "Burning is not completed. Do you want to cancel it?"
#define IDS_BAD_IMAGE_PATH       176  // "Incorrect image file path"
#define IDS_LOG_CLOSE_FAILED     177  // "Could not close session"
#define IDS_LOG_SESSION_CLOSED   178  // "Session closed"
#define IDS_LOG_CLOSING_SESSION  179  // "Closing session..."
#define IDS_NO_MEDIA             180  // "No media in drive"
#define IDS_MEDIA_NOT_WRITABLE   182  // "Media is not writable"
#define IDS_PLEASE_WAIT          183  // "Please wait"
#define IDS_IMAGE_TITLE          184  // "Image File"
#define IDS_IMAGE_SUBTITLE       185  // "Source image file to burn."
#define IDS_MODE_TITLE           186  // "Burning Mode"
#define IDS_MODE_SUBTITLE        187  // "You can choose burning mode."
#define IDS_SUMMARY_SUBTITLE     188  // "Review the data CD/DVD/Blu-Ray/HD-DVD options you have chosen before proceed with burning."
#define IDS_SUMMARY_TITLE        189  // "Options Summary"
#define IDS_SUMMARY_DRIVE        190  // "Drive: %s %s (%s)"
#define IDS_SUMMARY_IMAGE        191  // "Selected image file name: %s"
#define IDS_SUMMARY_DISC_TYPE    192  // "Disc Type: %s"
#define IDS_SUMMARY_OPC          193  // "Send OPC: %s"
#define IDS_SUMMARY_SPEED        194  // "Burning Speed: %s"
#define IDS_SUMMARY_TEST_WRITE   195  // "Test Write: %s"
#define IDS_SUMMARY_TRANSPORT    196  // "Transport: %s"
#define IDS_SUMMARY_MODE         197  // "Burning Mode: %s"
#define IDS_RESULT_SUCCESS       199  // "Quillfire Wizard has successfully finished!"
#define IDS_RESULT_ERROR         200  // "Quillfire Wizard has finished with error."
#define IDS_VERSION_FORMAT       201  // "Quillfire  Version %s" (two blanks before "Version")
#define IDS_SPEED_FORMAT         203  // "%s (%d KB/sec)"
#define IDS_CANCELLING_BURN      204  // "Quillfire Wizard cancels burning. " (trailing blank)
#define IDS_RESULT_CANCELLED     205  // "Burning  was cancelled by user." (two blanks after "Burning")
#define IDS_CANCEL_BURNING       206  // "Cancel burning"
#define IDS_DISC_NOT_BLANK       207  // "Disc is not blank, burning is impossible!"
#define IDS_SELECT_DEVICE        208  // "Please select burning device to use!"
#define IDS_REFRESHING_DEVICE    209  // "Refreshing device info"
#define IDS_REFRESHING_INFO      210  // "Quillfire is refreshing info for selected device."
#define IDS_HELP_BUTTON          211  // "Help"
#define IDS_TRANSPORT_TITLE      1035 // "SCSI Transport"
#define IDS_TRANSPORT_SUBTITLE   1036 // "The SCSI transport is a method to access devices."

// Further user-visible texts, kept in the string table beside the others.
#define IDS_APP_NAME             300  // "Quillfire" (message-box caption)
#define IDS_WIZARD_CAPTION       301  // "Quillfire Wizard"
#define IDS_ALREADY_RUNNING      302  // "There's an instance running of the program so you can't run another instance."
#define IDS_TRANSPORT_SPTI       303  // "SPTI"
#define IDS_TRANSPORT_ASPI       304  // "ASPI"
#define IDS_YES                  305  // "Yes"
#define IDS_NO                   306  // "No"
#define IDS_MODE_TAO             307  // "Track-At-Once"
#define IDS_MODE_SAO             308  // "Session-At-Once"
#define IDS_MODE_DAO_PQ          309  // "Disc-At-Once PQ"
#define IDS_MODE_DAO_RAW_PW      310  // "Disc-At-Once raw P-W" (mode page entry)
#define IDS_SUMMARY_DAO_RAW_PW   311  // "Disc-At-Once raw PW" (summary line, no hyphen)
#define IDS_IMAGE_FILTER         312  // "ISO image (*.iso)|*.iso||"
#define IDS_LOG_FILE_FILTER      313  // "(*.*)|*.*||"
#define IDS_FILE_ERROR           314  // "%s could not be written.\n%s" (path, the system's reason)
#define IDS_SPEED_MAXIMUM        315  // "Maximum" (the drive's fastest, when it listed no speeds)
#define IDS_DEVICE_GONE          320  // "The device does not answer. Check that it is connected, then click Refresh to update devices list."

// Controls of the About dialog (16).
#define IDC_ABOUT_VERSION        1028
#define IDC_WEB_LINK             1027
#define IDC_MAIL_LINK            1026

// Welcome page (129).
#define IDC_WELCOME_TITLE        1018

// Transport page (184).
#define IDC_SPTI                 1028
#define IDC_ASPI                 1029

// Device page (135).
#define IDC_REFRESH              1000
#define IDC_DEVICE_LIST          1001

// Image page (185).
#define IDC_BROWSE               1000
#define IDC_IMAGE_PATH           1008
#define IDC_IMAGE_INFO           1022

// Mode page (208).
#define IDC_MODE_COMBO           209
#define IDC_TEST_MODE            210

// Options page (142).
#define IDC_SPEED_COMBO          1009
#define IDC_SEND_OPC             1010

// Summary page (180).
#define IDC_SUMMARY_TEXT         1023

// Burning page (143).
#define IDC_BURN_PROGRESS        1012
#define IDC_BURN_LOG             1014
#define IDC_BURN_PERCENT         1017
#define IDC_SAVE_LOG             1018

// Completion page (181).
#define IDC_FINISH_TITLE         1024
#define IDC_FINISH_RESULT        1025

// Wait dialog (144); its Cancel button is IDCANCEL.
#define IDC_WAIT_ACTION          1020
#define IDC_WAIT_ANIMATION       1050
#define IDC_WAIT_CANCELLING      1051

#endif
