// The field page: a technician's readings, moisture values, photos and
// equipment moves for the drying log, in English or Spanish. Every entry goes
// into a queue kept in IndexedDB first and is sent from there, so nothing typed
// in a basement without signal is lost; the server knows each entry by the id
// made here and answers a resend with "already".
'use strict';

(function () {
  // ---- Texts ---------------------------------------------------------------
  const TEXTS = {
    en: {
      appTitle: 'Field entry',
      back: 'Back',
      waiting: 'Entries waiting to be sent',
      language: 'Language',
      offline: 'No signal: entries are kept on this phone and sent later.',
      close: 'Close',
      signInTitle: 'Sign in',
      userName: 'User name',
      password: 'Password',
      signIn: 'Sign in',
      signOut: 'Sign out',
      findLabel: 'Find a job by customer or number',
      findHint: 'Customer or number',
      signedInAs: 'Signed in as {0}',
      find: 'Find',
      jobsTitle: 'Drying jobs',
      foundTitle: 'Jobs found',
      noJobs: 'No jobs.',
      job: 'Job {0}',
      dryingDays: 'Drying day {0}',
      affected: 'Affected',
      outside: 'Outside',
      airTitle: 'Atmosphere',
      temperature: 'Temperature',
      humidity: 'Humidity %',
      gpp: 'GPP',
      dewPoint: 'Dew point',
      cancel: 'Cancel',
      saveReading: 'Save reading',
      saveCorrection: 'Save correction',
      pointsTitle: 'Moisture',
      noPoints: 'No moisture points in this room.',
      dryGoal: 'Dry goal {0}',
      todayValue: 'Today {0}',
      saveMoisture: 'Save moisture',
      photosTitle: 'Photos',
      choosePhoto: 'Take or choose a photo',
      caption: 'Caption',
      uploadPhoto: 'Upload photo',
      unitsTitle: 'Equipment',
      shopUnit: 'Unit in the shop',
      noShopUnits: 'No units in the shop',
      placeUnit: 'Place here',
      remove: 'Remove',
      since: 'since {0}',
      correct: 'Correct',
      delete: 'Delete',
      discard: 'Discard',
      tryAgain: 'Try again',
      queueTitle: 'Waiting to be sent',
      queueEmpty: 'Nothing waits: every entry has been sent.',
      sendNow: 'Send now',
      waitingTag: 'waiting to be sent',
      removalWaiting: 'removal waiting to be sent',
      kindReading: 'Reading',
      kindMoisture: 'Moisture',
      kindPhoto: 'Photo',
      kindPlacement: 'Unit placed',
      kindRemoval: 'Unit removed',
      room: 'Room {0}',
      by: 'by {0}',
      wrongLogin: 'The user name or password is not right.',
      noFieldRight: 'This user may not enter from the field. Ask the office for "Field Entry".',
      throttled: 'Too many failed sign-ins. Try again in {0} minutes.',
      signedOut: 'Signed out. Sign in again to send what waits.',
      noSignal: 'No signal. Try again when the phone has a connection.',
      needsSignal: 'Corrections and deletions need a connection.',
      serverBusy: 'The office database cannot be reached. Entries wait and are sent later.',
      kept: 'Kept on this phone: it is sent when there is a connection.',
      saved: 'Saved.',
      refused: '{0} not stored: {1}',
      typeNumber: 'Type a number, like 21.5.',
      tempRange: 'The temperature must be a number from {0} to {1}.',
      humidityRange: 'The relative humidity must be a number from 0 to 100 %.',
      typeMoisture: 'Type at least one moisture value.',
      choosePhotoFirst: 'Choose a photo first.',
      photoTooBig: 'This photo is over 26 MB: choose a smaller one.',
      notFound: 'Not found: it may have been closed or removed.',
      confirmDelete: 'Delete this entry?',
      confirmDiscard: 'Discard this entry? It will not be sent.',
      confirmSignOut: 'Entries still wait to be sent. Sign out anyway? They are kept on this phone.',
      chooseAgain: 'Choose the photo again, then upload.',
    },
    es: {
      appTitle: 'Entrada de campo',
      back: 'Atrás',
      waiting: 'Entradas pendientes de envío',
      language: 'Idioma',
      offline: 'Sin señal: las entradas se guardan en este teléfono y se envían después.',
      close: 'Cerrar',
      signInTitle: 'Iniciar sesión',
      userName: 'Usuario',
      password: 'Contraseña',
      signIn: 'Entrar',
      signOut: 'Cerrar sesión',
      findLabel: 'Buscar un trabajo por cliente o número',
      findHint: 'Cliente o número',
      signedInAs: 'Sesión de {0}',
      find: 'Buscar',
      jobsTitle: 'Trabajos de secado',
      foundTitle: 'Trabajos encontrados',
      noJobs: 'No hay trabajos.',
      job: 'Trabajo {0}',
      dryingDays: 'Día de secado {0}',
      affected: 'Afectada',
      outside: 'Exterior',
      airTitle: 'Ambiente',
      temperature: 'Temperatura',
      humidity: 'Humedad %',
      gpp: 'GPP',
      dewPoint: 'Punto de rocío',
      cancel: 'Cancelar',
      saveReading: 'Guardar lectura',
      saveCorrection: 'Guardar corrección',
      pointsTitle: 'Humedad de materiales',
      noPoints: 'No hay puntos de humedad en esta sala.',
      dryGoal: 'Meta seca {0}',
      todayValue: 'Hoy {0}',
      saveMoisture: 'Guardar humedad',
      photosTitle: 'Fotos',
      choosePhoto: 'Tomar o elegir una foto',
      caption: 'Descripción',
      uploadPhoto: 'Subir foto',
      unitsTitle: 'Equipos',
      shopUnit: 'Equipo en el taller',
      noShopUnits: 'No hay equipos en el taller',
      placeUnit: 'Colocar aquí',
      remove: 'Retirar',
      since: 'desde {0}',
      correct: 'Corregir',
      delete: 'Borrar',
      discard: 'Descartar',
      tryAgain: 'Reintentar',
      queueTitle: 'Pendientes de envío',
      queueEmpty: 'Nada pendiente: todas las entradas se enviaron.',
      sendNow: 'Enviar ahora',
      waitingTag: 'pendiente de envío',
      removalWaiting: 'retiro pendiente de envío',
      kindReading: 'Lectura',
      kindMoisture: 'Humedad',
      kindPhoto: 'Foto',
      kindPlacement: 'Equipo colocado',
      kindRemoval: 'Equipo retirado',
      room: 'Sala {0}',
      by: 'por {0}',
      wrongLogin: 'El usuario o la contraseña no son correctos.',
      noFieldRight: 'Este usuario no puede registrar desde el campo. Pida a la oficina el permiso "Field Entry".',
      throttled: 'Demasiados intentos fallidos. Vuelva a intentarlo en {0} minutos.',
      signedOut: 'Sesión cerrada. Entre de nuevo para enviar lo pendiente.',
      noSignal: 'Sin señal. Inténtelo cuando el teléfono tenga conexión.',
      needsSignal: 'Las correcciones y los borrados necesitan conexión.',
      serverBusy: 'No se puede llegar a la base de datos de la oficina. Las entradas esperan y se envían después.',
      kept: 'Guardado en este teléfono: se envía cuando haya conexión.',
      saved: 'Guardado.',
      refused: '{0}: no se guardó. {1}',
      typeNumber: 'Escriba un número, como 21,5.',
      tempRange: 'La temperatura debe ser un número de {0} a {1}.',
      humidityRange: 'La humedad relativa debe ser un número de 0 a 100 %.',
      typeMoisture: 'Escriba al menos un valor de humedad.',
      choosePhotoFirst: 'Elija primero una foto.',
      photoTooBig: 'Esta foto pasa de 26 MB: elija una más pequeña.',
      notFound: 'No encontrado: puede que se haya cerrado o quitado.',
      confirmDelete: '¿Borrar esta entrada?',
      confirmDiscard: '¿Descartar esta entrada? No se enviará.',
      confirmSignOut: 'Aún hay entradas pendientes. ¿Cerrar sesión de todos modos? Se guardan en este teléfono.',
      chooseAgain: 'Elija la foto otra vez y súbala.',
    },
  };

  // The server words its refusals in English; the ones the phone meets most
  // are given in Spanish here, any other is shown as it came.
  const SERVER_ES = [
    [/^The temperature must be a number from (.+) to (.+)\.$/, (m) => TEXTS.es.tempRange.replace('{0}', commas(m[1])).replace('{1}', commas(m[2]))],
    [/^The relative humidity must be a number from 0 to 100 %\.$/, () => TEXTS.es.humidityRange],
    [/^Unit (.+) is already out: (.+)\. Remove or move it there first\.$/, (m) => 'El equipo ' + m[1] + ' ya está fuera: ' + m[2] + '. Retírelo o muévalo allí primero.'],
    [/^(.+) entered today's value of this point already/, (m) => m[1] + ' ya anotó el valor de hoy de este punto; pida a la oficina que lo cambie.'],
    [/^Unit (.+) is retired\.$/, (m) => 'El equipo ' + m[1] + ' está dado de baja.'],
    [/^The (.+) must be a number of 0 or more\.$/, () => 'El valor debe ser un número de 0 o más.'],
    [/^Enter a number for the temperature and the humidity\.$/, () => 'Escriba un número para la temperatura y la humedad.'],
    [/^Enter a number for /, () => TEXTS.es.typeNumber],
    [/^Enter at least one value\.$/, () => TEXTS.es.typeMoisture],
    [/^Choose a photo first\.$/, () => TEXTS.es.choosePhotoFirst],
    [/^Only photos can be added here\.$/, () => 'Aquí solo se pueden añadir fotos.'],
    [/^The caption is longer than (\d+) characters\.$/, (m) => 'La descripción pasa de ' + m[1] + ' caracteres.'],
    [/^That room is not in the drying log/, () => 'Esa sala ya no está en el registro de secado.'],
    [/^That job is not open/, () => 'Ese trabajo ya no está abierto.'],
    [/^That moisture point is not in this room/, () => 'Ese punto de humedad ya no está en esta sala.'],
    [/^That (reading|photo) is gone\.$/, () => 'Esa entrada ya no existe.'],
    [/^That unit's placement is gone\.$/, () => 'Esa colocación de equipo ya no existe.'],
    [/^Only your own (readings|photos) of today/, () => 'Aquí solo se cambian sus propias entradas de hoy; las anteriores, en la oficina.'],
    [/^You do not have permission/, () => TEXTS.es.noFieldRight],
    [/^Please sign in\.$/, () => TEXTS.es.signedOut],
    [/^The entry could not be stored just now/, () => TEXTS.es.serverBusy],
    [/^The request is too large\.$/, () => 'La entrada es demasiado grande.'],
    [/^Not found\.?$/i, () => TEXTS.es.notFound],
  ];

  const STORE_LANG = 'jt-field-lang';
  const STORE_SESSION = 'jt-field-session';
  const STORE_CACHE = 'jt-field-cache';
  const RETRY_MS = 5000;
  // The server's limit for one photo upload, its form fields included.
  const PHOTO_LIMIT = 26 * 1024 * 1024 - 64 * 1024;

  let lang = pickLanguage();

  function pickLanguage() {
    const saved = localStorage.getItem(STORE_LANG);
    if (saved === 'en' || saved === 'es') return saved;
    const wanted = navigator.languages && navigator.languages.length ? navigator.languages : [navigator.language || 'en'];
    for (const l of wanted) {
      const code = String(l).toLowerCase().slice(0, 2);
      if (code === 'es' || code === 'en') return code;
    }
    return 'en';
  }

  function t(key) {
    let text = TEXTS[lang][key] !== undefined ? TEXTS[lang][key] : TEXTS.en[key];
    if (text === undefined) text = key;
    for (let i = 1; i < arguments.length; ++i) text = text.replace('{' + (i - 1) + '}', String(arguments[i]));
    return text;
  }

  function commas(text) {
    return text.replace(/(\d)\.(\d)/g, '$1,$2');
  }

  function serverText(message) {
    if (!message) return '';
    if (lang !== 'es') return message;
    for (const [pattern, make] of SERVER_ES) {
      const m = pattern.exec(message);
      if (m) return make(m);
    }
    return message;
  }

  function applyTexts() {
    document.documentElement.lang = lang;
    document.title = t('appTitle');
    for (const e of document.querySelectorAll('[data-t]')) e.textContent = t(e.dataset.t);
    for (const e of document.querySelectorAll('[data-t-placeholder]')) e.placeholder = t(e.dataset.tPlaceholder);
    for (const e of document.querySelectorAll('[data-t-label]')) {
      e.setAttribute('aria-label', t(e.dataset.tLabel));
      e.title = t(e.dataset.tLabel);
    }
    $('lang').value = lang;
    if (state.editing) $('save-reading').textContent = t('saveCorrection');
  }

  // ---- Numbers ---------------------------------------------------------------
  // "21.5" and "21,5" alike: the Spanish keyboard gives a comma.
  function parseNumber(text) {
    const s = String(text).replace(/\s+/g, '').replace(',', '.');
    return /^[-+]?(\d+\.?\d*|\.\d+)$/.test(s) ? Number(s) : NaN;
  }

  // One decimal, as the desktop shows GPP and temperatures.
  function oneDecimal(value) {
    if (!Number.isFinite(value)) return '';
    const text = value.toFixed(1);
    return lang === 'es' ? text.replace('.', ',') : text;
  }

  function plain(value) {
    if (value === null || value === undefined || value === '') return '';
    const text = String(value);
    return lang === 'es' ? text.replace('.', ',') : text;
  }

  // ---- Psychrometrics: the drying log's own formulas, step for step, so the
  // figures shown while typing are the desktop's to the last decimal.
  const Psy = {
    toFahrenheit(value, unit) {
      return unit === 'C' ? (value * 9) / 5 + 32 : value;
    },
    fromFahrenheit(f, unit) {
      return unit === 'C' ? ((f - 32) * 5) / 9 : f;
    },
    saturationPressureKPa(celsius) {
      const t = celsius + 273.15;
      const ln = -5.8002206e3 / t + 1.3914993 - 4.8640239e-2 * t + 4.1764768e-5 * t * t - 1.4452093e-8 * t * t * t + 6.5459673 * Math.log(t);
      return Math.exp(ln) / 1000;
    },
    temperatureFine(temperature, unit) {
      const f = Psy.toFahrenheit(temperature, unit);
      return Number.isFinite(f) && f >= -40 - 1e-9 && f <= 160 + 1e-9;
    },
    humidityFine(rh) {
      return Number.isFinite(rh) && rh >= 0 && rh <= 100;
    },
    // { gpp, dewPoint } in `unit`, dewPoint NaN at 0 %; null for values out of range.
    conditions(temperature, rh, unit) {
      if (!Psy.temperatureFine(temperature, unit) || !Psy.humidityFine(rh)) return null;
      const celsius = ((Psy.toFahrenheit(temperature, unit) - 32) * 5) / 9;
      const pw = (rh / 100) * Psy.saturationPressureKPa(celsius);
      const gpp = (7000 * 0.621945 * pw) / (101.325 - pw);
      let dewPoint = NaN;
      if (rh > 0) {
        const gamma = Math.log(rh / 100) + (17.625 * celsius) / (243.04 + celsius);
        dewPoint = Psy.fromFahrenheit(((243.04 * gamma) / (17.625 - gamma)) * 9 / 5 + 32, unit);
      }
      return { gpp: gpp, dewPoint: dewPoint };
    },
  };

  function unitSymbol() {
    return state.unit === 'C' ? '°C' : '°F';
  }

  function temperatureText(value) {
    const text = oneDecimal(value);
    return text ? text + ' ' + unitSymbol() : '';
  }

  // ---- State and elements -----------------------------------------------------
  const state = {
    user: null,
    csrf: null,
    unit: 'F',
    networkDown: false,
    pending: 0,
    room: null, // the room view's data
    editing: null, // the id of today's reading being corrected
    replacing: null, // the queue key of a refused entry being corrected
    back: null,
  };

  function $(id) {
    return document.getElementById(id);
  }

  // An element with properties and children; strings become text nodes, so
  // nothing typed or stored is ever read as markup.
  function el(tag, props) {
    const e = document.createElement(tag);
    if (props) {
      for (const [k, v] of Object.entries(props)) {
        if (v === undefined || v === null || v === false) continue;
        if (k === 'data') Object.assign(e.dataset, v);
        else if (k === 'className' || k === 'textContent' || k === 'type' || k === 'value' || k === 'src' || k === 'alt' || k === 'htmlFor' || k === 'id') e[k] = v;
        else if (k === 'onclick') e.addEventListener('click', v);
        else e.setAttribute(k, v === true ? '' : v);
      }
    }
    for (let i = 2; i < arguments.length; ++i) {
      const c = arguments[i];
      if (c === null || c === undefined || c === false) continue;
      e.append(typeof c === 'string' ? document.createTextNode(c) : c);
    }
    return e;
  }

  // #message holds the text alone; its box carries the close button.
  function showMessage(text, error) {
    $('message').textContent = text;
    $('message-box').classList.toggle('error', !!error);
    $('message-box').hidden = false;
  }

  function clearMessage() {
    $('message').textContent = '';
    $('message-box').hidden = true;
  }

  // ---- Storage ------------------------------------------------------------------
  let dbOpening = null;
  function idb() {
    if (!dbOpening) {
      dbOpening = new Promise((resolve, reject) => {
        const request = indexedDB.open('jobtracker-field', 1);
        request.onupgradeneeded = () => request.result.createObjectStore('queue', { keyPath: 'key', autoIncrement: true });
        request.onsuccess = () => resolve(request.result);
        request.onerror = () => reject(request.error);
      });
    }
    return dbOpening;
  }

  function inQueue(mode, work) {
    return idb().then(
      (db) =>
        new Promise((resolve, reject) => {
          const tx = db.transaction('queue', mode);
          const request = work(tx.objectStore('queue'));
          tx.oncomplete = () => resolve(request ? request.result : undefined);
          tx.onerror = tx.onabort = () => reject(tx.error);
        })
    );
  }

  // Entries in the order they were made (the store's keys only grow).
  const queue = {
    all: () => inQueue('readonly', (s) => s.getAll()),
    get: (key) => inQueue('readonly', (s) => s.get(key)),
    add: (item) => inQueue('readwrite', (s) => s.add(item)),
    put: (item) => inQueue('readwrite', (s) => s.put(item)),
    remove: (key) => inQueue('readwrite', (s) => s.delete(key)),
  };

  function readJson(key) {
    try {
      return JSON.parse(localStorage.getItem(key) || 'null');
    } catch (e) {
      return null;
    }
  }

  // The last answers to the views' reads, so a room opened with signal can be
  // filled in the basement without it.
  function remember(path, data) {
    const cache = readJson(STORE_CACHE) || {};
    delete cache[path];
    cache[path] = data;
    const keys = Object.keys(cache);
    for (let i = 0; i < keys.length - 40; ++i) delete cache[keys[i]];
    try {
      localStorage.setItem(STORE_CACHE, JSON.stringify(cache));
    } catch (e) {
      localStorage.removeItem(STORE_CACHE);
    }
  }

  function remembered(path) {
    const cache = readJson(STORE_CACHE);
    return cache && cache[path] !== undefined ? cache[path] : null;
  }

  function newEntryId() {
    if (window.crypto && crypto.randomUUID) return crypto.randomUUID();
    const bytes = crypto.getRandomValues(new Uint8Array(16));
    return Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join('');
  }

  // Now, with the phone's offset: an entry sent later keeps the time it was typed.
  function isoNow() {
    const d = new Date();
    const pad = (n) => String(Math.abs(n)).padStart(2, '0');
    const offset = -d.getTimezoneOffset();
    return (
      d.getFullYear() + '-' + pad(d.getMonth() + 1) + '-' + pad(d.getDate()) + 'T' + pad(d.getHours()) + ':' + pad(d.getMinutes()) + ':' + pad(d.getSeconds()) +
      (offset >= 0 ? '+' : '-') + pad(Math.trunc(offset / 60)) + ':' + pad(offset % 60)
    );
  }

  // ---- Requests -------------------------------------------------------------------
  class NetworkError extends Error {}

  async function api(method, path, body) {
    const headers = {};
    let payload;
    if (body instanceof FormData) payload = body;
    else if (body !== undefined) {
      headers['Content-Type'] = 'application/json';
      payload = JSON.stringify(body);
    }
    if (method !== 'GET' && state.csrf) headers['X-CSRF-Token'] = state.csrf;
    let response, text;
    try {
      response = await fetch(path, { method: method, headers: headers, body: payload, credentials: 'same-origin', cache: 'no-store' });
      text = await response.text();
    } catch (e) {
      state.networkDown = true;
      showOffline();
      throw new NetworkError(String(e));
    }
    state.networkDown = false;
    showOffline();
    let data = null;
    if (text) {
      try {
        data = JSON.parse(text);
      } catch (e) {
        data = null;
      }
    }
    return { status: response.status, data: data };
  }

  // A view's read; without signal, the last answer seen.
  async function read(path) {
    try {
      const r = await api('GET', path);
      if (r.status === 200) remember(path, r.data);
      return r;
    } catch (e) {
      const data = remembered(path);
      if (data) return { status: 200, data: data, remembered: true };
      throw e;
    }
  }

  function messageOf(r) {
    return serverText(r.data && typeof r.data.message === 'string' ? r.data.message : 'HTTP ' + r.status);
  }

  function setSession(data) {
    state.user = data.user;
    state.csrf = data.csrf;
    state.unit = String(data.unit || 'F').trim().toUpperCase() === 'C' ? 'C' : 'F';
    localStorage.setItem(STORE_SESSION, JSON.stringify({ user: state.user, unit: state.unit }));
    for (const e of document.querySelectorAll('.unit-symbol')) e.textContent = unitSymbol();
  }

  function signedOut() {
    state.user = null;
    state.csrf = null;
    localStorage.removeItem(STORE_SESSION);
    localStorage.removeItem(STORE_CACHE);
    route();
  }

  // Whatever a view's read answered other than 200.
  function refusedRead(r) {
    if (r.status === 401) {
      signedOut();
      showMessage(t('signedOut'), true);
    } else if (r.status === 404) {
      showMessage(t('notFound'), true);
      location.hash = '#/jobs';
    } else {
      showMessage(messageOf(r), true);
    }
  }

  // ---- The queue -------------------------------------------------------------------
  async function enqueue(item) {
    item.entry = newEntryId();
    item.user = state.user;
    item.where = state.room ? roomTitle(state.room.room) + ' · ' + t('job', state.room.room.wip) : '';
    item.made = isoNow();
    item.refused = null;
    await queue.add(item);
    if (state.replacing !== null) {
      await queue.remove(state.replacing);
      state.replacing = null;
    }
    await updatePending();
    if (!navigator.onLine || state.networkDown) showMessage(t('kept'));
    flush();
  }

  function send(item) {
    const b = item.body;
    switch (item.kind) {
      case 'reading':
        return api('POST', '/api/readings', { entry: item.entry, room: b.room, temperature: b.temperature, humidity: b.humidity, unit: b.unit, takenAt: b.takenAt });
      case 'moisture':
        return api('POST', '/api/moisture', { entry: item.entry, room: b.room, values: b.values.map((v) => ({ point: v.point, value: v.value })) });
      case 'placement':
        return api('POST', '/api/placements', { entry: item.entry, room: b.room, unit: b.unit, takenAt: b.takenAt });
      case 'removal':
        return api('POST', '/api/placements/' + encodeURIComponent(b.placement) + '/remove', { entry: item.entry, version: b.version, takenAt: b.takenAt });
      case 'photo': {
        const form = new FormData();
        form.append('entry', item.entry);
        form.append('room', String(b.room));
        form.append('caption', b.caption);
        form.append('file', item.blob, b.fileName || 'photo.jpg');
        return api('POST', '/api/photos', form);
      }
    }
    return Promise.resolve({ status: 400, data: { message: 'Unknown entry.' } });
  }

  let flushing = null;
  function flush() {
    if (!flushing) flushing = sendWaiting().finally(() => (flushing = null));
    return flushing;
  }

  // Sends what waits, oldest first. A refusal stays with its reason; a failed
  // connection or an unreachable database stops the round, to be tried again.
  async function sendWaiting() {
    if (!state.user || !navigator.onLine) return;
    const rooms = new Set();
    try {
      if (!state.csrf) {
        const s = await api('GET', '/api/session');
        if (s.status === 401) return signedOut();
        if (s.status !== 200) return;
        setSession(s.data);
      }
      for (const item of await queue.all()) {
        if (item.refused || item.user !== state.user) continue;
        const r = await send(item);
        if (r.status === 200 || r.status === 201) {
          await queue.remove(item.key);
          rooms.add(item.body.room);
        } else if (r.status === 401) {
          signedOut();
          showMessage(t('signedOut'), true);
          break;
        } else if (r.status >= 500 || r.status === 429 || r.status === 408 || r.status === 403) {
          // The database away, or a right or token to be set right by the
          // office or a new sign-in: the entry itself is fine, so it waits.
          showMessage(r.status >= 500 ? t('serverBusy') : messageOf(r), true);
          if (r.status === 403) state.csrf = null;
          break;
        } else {
          item.refused = messageOf(r);
          await queue.put(item);
          showMessage(t('refused', kindText(item.kind), item.refused), true);
        }
      }
      // The room shows what was stored before the count drops.
      if (state.room && rooms.has(state.room.room.id) && currentView() === 'room') await refreshRoom();
    } catch (e) {
      if (!(e instanceof NetworkError)) throw e;
    } finally {
      await updatePending();
    }
  }

  async function updatePending() {
    const items = await queue.all();
    state.pending = items.length;
    $('pending').textContent = String(items.length);
    $('pending-button').classList.toggle('waiting', items.length > 0);
    if (currentView() === 'queue') renderQueue(items);
    if (currentView() === 'room' && state.room) renderQueued(items);
    return items;
  }

  function showOffline() {
    $('offline').hidden = navigator.onLine && !state.networkDown;
  }

  function kindText(kind) {
    return t({ reading: 'kindReading', moisture: 'kindMoisture', photo: 'kindPhoto', placement: 'kindPlacement', removal: 'kindRemoval' }[kind] || 'kindReading');
  }

  function summary(item) {
    const b = item.body;
    switch (item.kind) {
      case 'reading':
        return temperatureText(b.temperature) + ' · ' + plain(b.humidity) + ' %';
      case 'moisture':
        return b.values.map((v) => (v.label ? v.label + ': ' : '') + plain(v.value)).join(' · ');
      case 'photo':
        return b.caption || b.fileName || '';
      case 'placement':
      case 'removal':
        return b.label || '';
    }
    return '';
  }

  // ---- Views --------------------------------------------------------------------------
  const VIEWS = ['sign-in', 'jobs', 'job', 'room', 'queue'];

  function currentView() {
    for (const v of VIEWS) if (!$('view-' + v).hidden) return v;
    return null;
  }

  function show(view, back) {
    for (const v of VIEWS) $('view-' + v).hidden = v !== view;
    state.back = back || null;
    $('back').hidden = !state.back;
    $('pending-button').hidden = view === 'sign-in' && state.pending === 0;
    window.scrollTo(0, 0);
  }

  async function route() {
    const parts = location.hash.replace(/^#\/?/, '').split('/');
    if (!state.user) {
      show('sign-in');
      $('username').focus();
      return;
    }
    try {
      if (parts[0] === 'job' && parts[1]) await showJob(parts[1]);
      else if (parts[0] === 'room' && parts[1]) await showRoom(parts[1]);
      else if (parts[0] === 'queue') await showQueue();
      else await showJobs();
    } catch (e) {
      if (!(e instanceof NetworkError)) throw e;
      showMessage(t('noSignal'), true);
    }
  }

  async function showJobs() {
    const q = $('find').value.trim();
    const r = await read(q ? '/api/find?q=' + encodeURIComponent(q) : '/api/jobs');
    if (r.status !== 200) return refusedRead(r);
    $('jobs-title').textContent = t(q ? 'foundTitle' : 'jobsTitle');
    const jobs = (r.data && r.data.jobs) || [];
    $('jobs').replaceChildren(
      ...jobs.map((job) =>
        el(
          'li',
          { className: 'job', data: { wip: job.wip } },
          el(
            'button',
            { type: 'button', onclick: () => (location.hash = '#/job/' + job.wip) },
            el('span', { className: 'name' }, String(job.customer || ''), ' · ', t('job', job.wip)),
            el('span', { className: 'detail' }, String(job.address || '')),
            job.dryingDays !== null && job.dryingDays !== undefined ? el('span', { className: 'detail' }, t('dryingDays', job.dryingDays)) : null
          )
        )
      )
    );
    $('jobs-empty').hidden = jobs.length > 0;
    $('signed-in').textContent = t('signedInAs', state.user);
    show('jobs');
  }

  async function showJob(wip) {
    const r = await read('/api/jobs/' + encodeURIComponent(wip));
    if (r.status !== 200) return refusedRead(r);
    const job = r.data;
    $('job-customer').textContent = String(job.customer || '') + ' · ' + t('job', job.wip);
    $('job-address').textContent = String(job.address || '');
    $('rooms').replaceChildren(
      ...(job.rooms || []).map((room) =>
        el(
          'li',
          { className: 'room' + (room.outside ? ' outside' : ''), data: { room: room.id } },
          el(
            'button',
            { type: 'button', onclick: () => (location.hash = '#/room/' + room.id) },
            el('span', { className: 'name' }, room.outside ? t('outside') : String(room.name || '')),
            room.affected ? el('span', { className: 'tag' }, t('affected')) : null
          )
        )
      )
    );
    show('job', '#/jobs');
  }

  async function showRoom(id) {
    const r = await read('/api/rooms/' + encodeURIComponent(id));
    if (r.status !== 200) return refusedRead(r);
    if (!state.room || String(state.room.room.id) !== String(r.data.room.id)) {
      stopEditing();
      $('temperature').value = '';
      $('humidity').value = '';
      $('photo-caption').value = '';
      $('photo-file').value = '';
      $('photo-chosen').textContent = '';
      updateConditions();
    }
    state.room = r.data;
    renderRoom();
    show('room', '#/job/' + r.data.room.wip);
    await updatePending();
  }

  async function refreshRoom() {
    try {
      const r = await read('/api/rooms/' + encodeURIComponent(state.room.room.id));
      if (r.status === 200 && currentView() === 'room' && String(r.data.room.id) === String(state.room.room.id)) {
        state.room = r.data;
        renderRoom();
        await updatePending();
      }
    } catch (e) {
      if (!(e instanceof NetworkError)) throw e;
    }
  }

  function timeText(iso) {
    const d = new Date(iso);
    if (isNaN(d)) return String(iso || '');
    return d.toLocaleTimeString(lang, { hour: '2-digit', minute: '2-digit' });
  }

  function dateTimeText(iso) {
    const d = new Date(iso);
    if (isNaN(d)) return String(iso || '');
    return d.toLocaleString(lang, { month: 'short', day: 'numeric', hour: '2-digit', minute: '2-digit' });
  }

  function roomTitle(room) {
    return room.outside ? t('outside') : String(room.name || '');
  }

  function renderRoom() {
    const data = state.room;
    const room = data.room;
    $('room-name').textContent = roomTitle(room);
    $('room-job').textContent = t('job', room.wip);

    $('readings').replaceChildren(
      ...(data.readings || []).map((reading) =>
        el(
          'li',
          { className: 'reading', data: { reading: reading.id } },
          el(
            'span',
            { className: 'what' },
            timeText(reading.takenAt) + ' · ' + temperatureText(reading.temperature) + ' · ' + plain(reading.humidity) + ' % · ' + t('gpp') + ' ' + oneDecimal(reading.gpp),
            el('span', { className: 'who' }, t('by', String(reading.enteredBy || '')))
          ),
          reading.editable
            ? el(
                'span',
                { className: 'buttons' },
                el('button', { type: 'button', className: 'secondary edit-reading', textContent: t('correct'), onclick: () => startEditing(reading) }),
                el('button', { type: 'button', className: 'danger delete-reading', textContent: t('delete'), onclick: () => removeStored('/api/readings/' + reading.id) })
              )
            : null
        )
      )
    );

    // Values typed but not saved survive a refresh of the list.
    const typed = {};
    for (const input of document.querySelectorAll('#points input.moisture')) if (input.value) typed[input.dataset.point] = input.value;
    const points = data.points || [];
    $('points').replaceChildren(
      ...points.map((point) => {
        const inputId = 'moisture-' + point.id;
        const input = el('input', { className: 'moisture', id: inputId, type: 'text', inputmode: 'decimal', autocomplete: 'off', data: { point: point.id } });
        if (typed[point.id] !== undefined) input.value = typed[point.id];
        // Today's value of someone else is corrected at the office.
        input.disabled = point.editable === false;
        return el(
          'li',
          { className: 'point', data: { point: point.id } },
          el(
            'label',
            { htmlFor: inputId },
            [point.material, point.location].filter(Boolean).map(String).join(' — '),
            el('span', { className: 'goal' }, t('dryGoal', plain(point.dryGoal))),
            point.today !== null && point.today !== undefined ? el('span', { className: 'goal today' }, t('todayValue', plain(point.today))) : null
          ),
          input
        );
      })
    );
    $('points-empty').hidden = points.length > 0;
    $('save-moisture').disabled = points.length === 0;

    // Thumbnails load at once, not when scrolled to: the room may be opened
    // with signal upstairs and looked at without it in the basement.
    $('photos').replaceChildren(
      ...(data.photos || []).map((photo) =>
        el(
          'li',
          { className: 'photo', data: { photo: photo.id } },
          el('img', { src: '/api/photos/' + encodeURIComponent(photo.id) + '/thumbnail', alt: String(photo.caption || '') }),
          el('span', { className: 'caption' }, String(photo.caption || '')),
          photo.editable ? el('button', { type: 'button', className: 'danger delete-photo', textContent: t('delete'), onclick: () => removeStored('/api/photos/' + photo.id) }) : null
        )
      )
    );

    $('units').replaceChildren(
      ...(data.units || []).map((unit) =>
        el(
          'li',
          { className: 'unit', data: { placement: unit.placement } },
          el('span', { className: 'what' }, String(unit.assetNo || '') + ' · ' + String(unit.type || ''), el('span', { className: 'who' }, t('since', dateTimeText(unit.placedAt)))),
          el('button', {
            type: 'button',
            className: 'secondary remove-unit',
            textContent: t('remove'),
            onclick: () => enqueue({ kind: 'removal', body: { room: room.id, placement: unit.placement, version: unit.version, label: String(unit.assetNo || ''), takenAt: isoNow() } }),
          })
        )
      )
    );

    const shop = data.shop || [];
    const chosen = $('unit').value;
    $('unit').replaceChildren(
      ...(shop.length ? shop.map((u) => el('option', { value: String(u.id) }, String(u.assetNo || '') + ' · ' + String(u.type || ''))) : [el('option', { value: '' }, t('noShopUnits'))])
    );
    if (chosen && shop.some((u) => String(u.id) === chosen)) $('unit').value = chosen;
    $('unit').disabled = shop.length === 0;
    $('place-unit').disabled = shop.length === 0;
  }

  // What waits for this room, shown with what is stored.
  function renderQueued(items) {
    const roomId = state.room.room.id;
    for (const e of document.querySelectorAll('#view-room .queued')) {
      if (e.dataset.blobUrl) URL.revokeObjectURL(e.dataset.blobUrl);
      e.remove();
    }
    for (const e of document.querySelectorAll('#units .unit')) e.classList.remove('leaving');
    for (const item of items) {
      if (String(item.body.room) !== String(roomId)) continue;
      const tag = item.refused ? el('span', { className: 'refused' }, item.refused) : el('span', { className: 'who' }, t('waitingTag'));
      if (item.kind === 'photo') {
        const url = URL.createObjectURL(item.blob);
        const li = el('li', { className: 'photo queued', data: { blobUrl: url } }, el('img', { src: url, alt: '' }), el('span', { className: 'caption' }, item.body.caption || ''), tag);
        $('photos').prepend(li);
      } else if (item.kind === 'removal') {
        const unit = document.querySelector('#units .unit[data-placement="' + CSS.escape(String(item.body.placement)) + '"]');
        if (unit) {
          unit.classList.add('leaving');
          unit.append(el('span', { className: 'queued who' }, t('removalWaiting')));
          const button = unit.querySelector('.remove-unit');
          if (button) button.hidden = true;
        }
      } else {
        const list = { reading: 'readings', moisture: 'points', placement: 'units' }[item.kind];
        $(list).append(el('li', { className: 'queued' }, el('span', { className: 'what' }, kindText(item.kind) + ': ' + summary(item), tag)));
      }
    }
  }

  async function removeStored(path) {
    if (!confirm(t('confirmDelete'))) return;
    try {
      const r = await api('DELETE', path);
      if (r.status === 204 || r.status === 200) {
        showMessage(t('saved'));
        stopEditing();
        await refreshRoom();
      } else if (r.status === 401) refusedRead(r);
      else showMessage(messageOf(r), true);
    } catch (e) {
      if (!(e instanceof NetworkError)) throw e;
      showMessage(t('needsSignal'), true);
    }
  }

  // ---- The atmosphere reading -------------------------------------------------------------
  function updateConditions() {
    const temperature = parseNumber($('temperature').value);
    const humidity = parseNumber($('humidity').value);
    const c = Psy.conditions(temperature, humidity, state.unit);
    $('gpp').textContent = c ? oneDecimal(c.gpp) : '';
    $('dew-point').textContent = c ? temperatureText(c.dewPoint) : '';
  }

  // The typed reading, or a message and nothing.
  function typedReading() {
    const tInput = $('temperature');
    const hInput = $('humidity');
    const temperature = parseNumber(tInput.value);
    const humidity = parseNumber(hInput.value);
    tInput.setAttribute('aria-invalid', String(!Psy.temperatureFine(temperature, state.unit)));
    hInput.setAttribute('aria-invalid', String(!Psy.humidityFine(humidity)));
    if (Number.isNaN(temperature) || Number.isNaN(humidity)) {
      showMessage(t('typeNumber'), true);
      (Number.isNaN(temperature) ? tInput : hInput).focus();
      return null;
    }
    if (!Psy.temperatureFine(temperature, state.unit)) {
      showMessage(t('tempRange', temperatureText(Psy.fromFahrenheit(-40, state.unit)), temperatureText(Psy.fromFahrenheit(160, state.unit))), true);
      tInput.focus();
      return null;
    }
    if (!Psy.humidityFine(humidity)) {
      showMessage(t('humidityRange'), true);
      hInput.focus();
      return null;
    }
    // The unit it was typed in goes with it: the office may change the
    // company's unit while the entry waits on the phone.
    return { temperature: temperature, humidity: humidity, unit: state.unit };
  }

  async function saveReading() {
    const typed = typedReading();
    if (!typed || !state.room) return;
    clearMessage();
    if (state.editing) {
      try {
        const r = await api('PUT', '/api/readings/' + encodeURIComponent(state.editing), typed);
        if (r.status !== 200) return r.status === 401 ? refusedRead(r) : showMessage(messageOf(r), true);
      } catch (e) {
        if (!(e instanceof NetworkError)) throw e;
        return showMessage(t('needsSignal'), true);
      }
      stopEditing();
      showMessage(t('saved'));
      refreshRoom();
    } else {
      await enqueue({ kind: 'reading', body: { room: state.room.room.id, temperature: typed.temperature, humidity: typed.humidity, unit: state.unit, takenAt: isoNow() } });
    }
    $('temperature').value = '';
    $('humidity').value = '';
    updateConditions();
  }

  function startEditing(reading) {
    state.editing = reading.id;
    state.replacing = null;
    $('temperature').value = plain(reading.temperature);
    $('humidity').value = plain(reading.humidity);
    $('save-reading').textContent = t('saveCorrection');
    $('cancel-edit').hidden = false;
    updateConditions();
    $('temperature').focus();
  }

  function stopEditing() {
    state.editing = null;
    $('save-reading').textContent = t('saveReading');
    $('cancel-edit').hidden = true;
  }

  // ---- Moisture, photos, equipment ------------------------------------------------------------
  async function saveMoisture() {
    if (!state.room) return;
    const values = [];
    let wrong = null;
    for (const input of document.querySelectorAll('#points input.moisture')) {
      input.removeAttribute('aria-invalid');
      if (!input.value.trim()) continue;
      const value = parseNumber(input.value);
      if (!Number.isFinite(value) || value < 0) {
        input.setAttribute('aria-invalid', 'true');
        wrong = wrong || input;
        continue;
      }
      const label = input.closest('.point').querySelector('label').firstChild;
      values.push({ point: Number(input.dataset.point), value: value, label: label ? label.textContent : '' });
    }
    if (wrong) {
      showMessage(t('typeNumber'), true);
      return wrong.focus();
    }
    if (!values.length) return showMessage(t('typeMoisture'), true);
    clearMessage();
    for (const input of document.querySelectorAll('#points input.moisture')) input.value = '';
    await enqueue({ kind: 'moisture', body: { room: state.room.room.id, values: values } });
  }

  async function uploadPhoto() {
    if (!state.room) return;
    const file = $('photo-file').files[0];
    if (!file) return showMessage(t('choosePhotoFirst'), true);
    if (file.size > PHOTO_LIMIT) return showMessage(t('photoTooBig'), true);
    clearMessage();
    // A copy of the bytes: the file a camera hands over may not outlive the page.
    const blob = new Blob([await file.arrayBuffer()], { type: file.type || 'image/jpeg' });
    const caption = $('photo-caption').value.trim();
    $('photo-file').value = '';
    $('photo-caption').value = '';
    $('photo-chosen').textContent = '';
    await enqueue({ kind: 'photo', blob: blob, body: { room: state.room.room.id, caption: caption, fileName: file.name } });
  }

  async function placeUnit() {
    if (!state.room || !$('unit').value) return;
    const option = $('unit').selectedOptions[0];
    clearMessage();
    await enqueue({ kind: 'placement', body: { room: state.room.room.id, unit: Number($('unit').value), label: option ? option.textContent : '', takenAt: isoNow() } });
  }

  // ---- What waits -------------------------------------------------------------------------------
  async function showQueue() {
    show('queue', state.room ? '#/room/' + state.room.room.id : '#/jobs');
    renderQueue(await queue.all());
  }

  function renderQueue(items) {
    $('queue').replaceChildren(
      ...items.map((item) =>
        el(
          'li',
          { className: 'waiting-entry' + (item.refused ? ' refused-entry' : ''), data: { entry: item.entry } },
          el('span', { className: 'what' }, kindText(item.kind) + ' · ' + (item.where || t('room', item.body.room)) + ': ' + summary(item), el('span', { className: 'who' }, dateTimeText(item.made))),
          item.refused ? el('span', { className: 'refused' }, item.refused) : null,
          el(
            'span',
            { className: 'buttons' },
            item.refused && item.kind !== 'placement' && item.kind !== 'removal'
              ? el('button', { type: 'button', className: 'secondary correct-entry', textContent: t('correct'), onclick: () => correctEntry(item) })
              : null,
            item.refused ? el('button', { type: 'button', className: 'secondary retry-entry', textContent: t('tryAgain'), onclick: () => retryEntry(item) }) : null,
            el('button', { type: 'button', className: 'danger discard-entry', textContent: t('discard'), onclick: () => discardEntry(item) })
          )
        )
      )
    );
    $('queue-empty').hidden = items.length > 0;
  }

  async function discardEntry(item) {
    if (!confirm(t('confirmDiscard'))) return;
    await queue.remove(item.key);
    if (state.replacing === item.key) state.replacing = null;
    clearMessage();
    await updatePending();
  }

  async function retryEntry(item) {
    item.refused = null;
    await queue.put(item);
    clearMessage();
    await updatePending();
    flush();
  }

  // Back into the room's form; the refused entry goes when the corrected one is saved.
  async function correctEntry(item) {
    location.hash = '#/room/' + item.body.room;
    await route();
    if (currentView() !== 'room') return;
    state.replacing = item.key;
    if (item.kind === 'reading') {
      $('temperature').value = plain(item.body.temperature);
      $('humidity').value = plain(item.body.humidity);
      updateConditions();
      $('temperature').focus();
    } else if (item.kind === 'moisture') {
      for (const v of item.body.values) {
        const input = document.querySelector('#points input.moisture[data-point="' + CSS.escape(String(v.point)) + '"]');
        if (input) input.value = plain(v.value);
      }
    } else if (item.kind === 'photo') {
      $('photo-caption').value = item.body.caption || '';
      showMessage(t('chooseAgain'));
    }
  }

  // ---- Sign-in ----------------------------------------------------------------------------------
  async function signIn(event) {
    event.preventDefault();
    clearMessage();
    const button = $('sign-in');
    button.disabled = true;
    try {
      const r = await api('POST', '/api/sign-in', { username: $('username').value.trim(), password: $('password').value });
      if (r.status === 200) {
        $('password').value = '';
        setSession(r.data);
        await route();
        flush();
      } else if (r.status === 401) showMessage(t('wrongLogin'), true);
      else if (r.status === 403) showMessage(t('noFieldRight'), true);
      else if (r.status === 429) showMessage(t('throttled', Math.max(1, Math.ceil(Number((r.data && r.data.retryAfter) || 60) / 60))), true);
      else showMessage(r.status >= 500 ? t('serverBusy') : messageOf(r), true);
    } catch (e) {
      if (!(e instanceof NetworkError)) throw e;
      showMessage(t('noSignal'), true);
    } finally {
      button.disabled = false;
    }
  }

  async function signOut() {
    if (state.pending > 0 && !confirm(t('confirmSignOut'))) return;
    try {
      await api('POST', '/api/sign-out', {});
    } catch (e) {
      if (!(e instanceof NetworkError)) throw e;
    }
    clearMessage();
    location.hash = '';
    signedOut();
  }

  // ---- Start ----------------------------------------------------------------------------------------
  async function start() {
    applyTexts();
    showOffline();
    $('sign-in-form').addEventListener('submit', signIn);
    $('logout').addEventListener('click', signOut);
    $('message-close').addEventListener('click', clearMessage);
    $('back').addEventListener('click', () => {
      if (state.back) location.hash = state.back;
    });
    $('pending-button').addEventListener('click', () => (location.hash = '#/queue'));
    $('send-now').addEventListener('click', () => flush());
    $('find-form').addEventListener('submit', (e) => {
      e.preventDefault();
      showJobs().catch(() => showMessage(t('noSignal'), true));
    });
    $('find').addEventListener('search', () => {
      if (!$('find').value) showJobs().catch(() => showMessage(t('noSignal'), true));
    });
    $('temperature').addEventListener('input', updateConditions);
    $('humidity').addEventListener('input', updateConditions);
    $('save-reading').addEventListener('click', saveReading);
    $('cancel-edit').addEventListener('click', () => {
      stopEditing();
      $('temperature').value = '';
      $('humidity').value = '';
      updateConditions();
    });
    $('save-moisture').addEventListener('click', saveMoisture);
    $('upload-photo').addEventListener('click', uploadPhoto);
    $('photo-file').addEventListener('change', () => {
      const f = $('photo-file').files[0];
      $('photo-chosen').textContent = f ? f.name : '';
    });
    $('place-unit').addEventListener('click', placeUnit);
    $('lang').addEventListener('change', () => {
      lang = $('lang').value === 'es' ? 'es' : 'en';
      localStorage.setItem(STORE_LANG, lang);
      applyTexts();
      updateConditions();
      route();
    });
    window.addEventListener('hashchange', () => {
      if (!$('message-box').classList.contains('error')) clearMessage();
      route();
    });
    window.addEventListener('online', () => {
      showOffline();
      flush();
    });
    window.addEventListener('offline', showOffline);
    window.addEventListener('beforeunload', (event) => {
      if (state.pending > 0) {
        event.preventDefault();
        event.returnValue = '';
      }
    });
    setInterval(() => {
      if (state.pending > 0) flush();
    }, RETRY_MS);

    try {
      const r = await api('GET', '/api/session');
      if (r.status === 200) setSession(r.data);
    } catch (e) {
      if (!(e instanceof NetworkError)) throw e;
      // Without signal the last user's remembered views still open; the
      // session itself is asked for again before anything is sent.
      const saved = readJson(STORE_SESSION);
      if (saved) {
        state.user = saved.user;
        state.unit = saved.unit === 'C' ? 'C' : 'F';
        for (const e2 of document.querySelectorAll('.unit-symbol')) e2.textContent = unitSymbol();
      }
    }
    await updatePending();
    await route();
    flush();
  }

  document.addEventListener('DOMContentLoaded', start);
})();
