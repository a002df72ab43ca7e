// The Ionic widgets of the first screen (lists, items, switches, the bars, rows swiped to
// delete), from Ionic's custom-elements build, bundled by bundle/build.mjs into one module, so that
// the first screen waits for one request, not a chain of modules. The other widgets come with
// ionic-more.mjs. Each definition also defines the widgets it draws itself (an item's ripple, a
// toggle's icons).
import { initialize } from '@ionic/core/components';
import { defineCustomElement as app } from '@ionic/core/components/ion-app.js';
import { defineCustomElement as button } from '@ionic/core/components/ion-button.js';
import { defineCustomElement as buttons } from '@ionic/core/components/ion-buttons.js';
import { defineCustomElement as content } from '@ionic/core/components/ion-content.js';
import { defineCustomElement as header } from '@ionic/core/components/ion-header.js';
import { defineCustomElement as item } from '@ionic/core/components/ion-item.js';
import { defineCustomElement as itemOption } from '@ionic/core/components/ion-item-option.js';
import { defineCustomElement as itemOptions } from '@ionic/core/components/ion-item-options.js';
import { defineCustomElement as itemSliding } from '@ionic/core/components/ion-item-sliding.js';
import { defineCustomElement as label } from '@ionic/core/components/ion-label.js';
import { defineCustomElement as list } from '@ionic/core/components/ion-list.js';
import { defineCustomElement as listHeader } from '@ionic/core/components/ion-list-header.js';
import { defineCustomElement as note } from '@ionic/core/components/ion-note.js';
import { defineCustomElement as title } from '@ionic/core/components/ion-title.js';
import { defineCustomElement as toggle } from '@ionic/core/components/ion-toggle.js';
import { defineCustomElement as toolbar } from '@ionic/core/components/ion-toolbar.js';

// Ionic draws every screen as the phone's Settings app does (iOS mode). The host decides what is
// on screen and the page animates a push or a pop itself (page/dom.js), so Ionic's own
// transitions are off.
initialize({ mode: 'ios', animated: false });
for (const define of [app, button, buttons, content, header, item, itemOption, itemOptions, itemSliding, label, list, listHeader,
  note, title, toggle, toolbar])
  define();
