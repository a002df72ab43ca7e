// The Ionic widgets the first screen does not show: the editor's sliders and text field, the
// wheel time picker, the spinner, and the alert and action sheet with their controllers. They
// run on the Ionic runtime of ionic.mjs: bundle/build.mjs makes this module take from ionic.js
// every Ionic module that ionic.js holds.
import { defineCustomElement as actionSheet } from '@ionic/core/components/ion-action-sheet.js';
import { defineCustomElement as alert } from '@ionic/core/components/ion-alert.js';
import { defineCustomElement as datetime } from '@ionic/core/components/ion-datetime.js';
import { defineCustomElement as input } from '@ionic/core/components/ion-input.js';
import { defineCustomElement as range } from '@ionic/core/components/ion-range.js';
import { defineCustomElement as spinner } from '@ionic/core/components/ion-spinner.js';

export { actionSheetController, alertController } from '@ionic/core/components';

for (const define of [actionSheet, alert, datetime, input, range, spinner])
  define();
