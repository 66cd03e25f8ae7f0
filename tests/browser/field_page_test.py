#!/usr/bin/python3
"""The field page in a real browser: headless Chromium at phone size, driven by
Selenium, against jobtracker-field over a throwaway SQLite database with the
demo data.

    field_page_test.py --bin build/bin                 runs the tests
    field_page_test.py --bin build/bin --screenshots DIR
                                                       saves each view, in English
                                                       and Spanish, as PNGs

Exits 77 (ctest's skip) when Chromium, its driver or Selenium is missing.
"""
import argparse
import base64
import os
import select
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest

SKIP = 77
CHROMEDRIVER = '/usr/bin/chromedriver'
CHROMIUM = '/usr/bin/chromium'

try:
    from selenium import webdriver
    from selenium.common.exceptions import TimeoutException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    webdriver = None

ARGS = None


class FieldServer:
    """A demo database and the field server over it, in a folder of its own."""

    def __init__(self, bin_dir):
        self.bin = os.path.abspath(bin_dir)
        self.dir = tempfile.mkdtemp(prefix='jt-field-page.')
        self.config = os.path.join(self.dir, 'config.txt')
        self.db_path = os.path.join(self.dir, 'field.db')
        with open(self.config, 'w', encoding='utf-8') as f:
            f.write('"Field page test"\nDatabase,"Provider=SQLite;Data Source=field.db"\nCustomerDatabase,customers.mdb\n')
        admin = os.path.join(self.bin, 'jobtracker-admin')
        for args in (['init', '--username', 'admin', '--password', 'admin'], ['seed-demo', '--jobs', '40']):
            subprocess.run([admin, '--config', self.config] + args, check=True, stdout=subprocess.DEVNULL)
        self.process = subprocess.Popen(
            [os.path.join(self.bin, 'jobtracker-field'), '--config', self.config, '--listen', '127.0.0.1:0'],
            stdout=subprocess.PIPE, text=True)
        ready, _, _ = select.select([self.process.stdout], [], [], 30)
        line = self.process.stdout.readline() if ready else ''
        if not line.startswith('listening on http://'):
            self.stop()
            raise RuntimeError('the field server did not start: %r' % line)
        self.url = line.split('listening on ', 1)[1].strip()
        if not self.url.endswith('/'):
            self.url += '/'

    def query(self, sql, *values):
        with sqlite3.connect(self.db_path, timeout=10) as db:
            return db.execute(sql, values).fetchall()

    def execute(self, sql, *values):
        with sqlite3.connect(self.db_path, timeout=10) as db:
            db.execute(sql, values)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(15)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def make_driver(language='en-US'):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for arg in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                '--lang=' + language, '--window-size=390,844'):
        options.add_argument(arg)
    options.add_experimental_option('prefs', {'intl.accept_languages': language})
    # A phone: its width, its pixel ratio and touch.
    options.add_experimental_option('mobileEmulation', {
        'deviceMetrics': {'width': 390, 'height': 844, 'pixelRatio': 2.0, 'touch': True},
        'userAgent': 'Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 '
                     '(KHTML, like Gecko) Chrome/120.0 Mobile Safari/537.36'})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.set_script_timeout(60)
    return driver


class Page:
    """The page's public names, as the tests use them."""

    def __init__(self, driver, server):
        self.driver = driver
        self.server = server

    def open(self, fragment=''):
        self.driver.get(self.server.url + fragment)
        self.wait(lambda d: self.visible_view() is not None)

    def find(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def all(self, css):
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def wait(self, condition, timeout=15):
        return WebDriverWait(self.driver, timeout, poll_frequency=0.1).until(condition)

    def text(self, css):
        return self.find(css).get_attribute('textContent').strip()

    def data(self, css, name):
        """The data-`name` of each element `css` finds, read at one moment."""
        return self.driver.execute_script(
            "return Array.from(document.querySelectorAll(arguments[0]), (e) => e.dataset[arguments[1]]);", css, name)

    def visible_view(self):
        return self.driver.execute_script(
            "const v = document.querySelector('.view:not([hidden])'); return v ? v.id : null;")

    def wait_view(self, view):
        try:
            self.wait(lambda d: self.visible_view() == 'view-' + view)
        except TimeoutException:
            raise AssertionError('%s shown instead of view-%s; #message: %r' % (
                self.visible_view(), view, self.text('#message'))) from None

    def type(self, css, text):
        box = self.find(css)
        box.clear()
        box.send_keys(text)

    def sign_in(self, user='kwhitfield', password='password'):
        self.open()
        self.wait_view('sign-in')
        self.type('#username', user)
        self.type('#password', password)
        self.find('#sign-in').click()

    def open_room(self, affected=True):
        """The first job's first affected room (or Outside); its id."""
        self.wait(lambda d: self.all('#jobs .job'))
        self.find('#jobs .job button').click()
        self.wait_view('job')
        self.wait(lambda d: self.all('#rooms .room'))
        rooms = self.all('#rooms .room.outside' if not affected else '#rooms .room:not(.outside)')
        room = rooms[0].get_attribute('data-room')
        rooms[0].find_element(By.TAG_NAME, 'button').click()
        self.wait_view('room')
        self.wait(lambda d: self.text('#room-name'))
        return int(room)

    def pending(self):
        return self.text('#pending')

    def server_conditions(self, rows):
        """The program's own figures for (temperature, humidity) rows."""
        return self.driver.execute_async_script("""
            const [rows, done] = arguments;
            Promise.all(rows.map(([t, h]) =>
                fetch('/api/conditions?temperature=' + t + '&humidity=' + h).then((r) => r.json())))
              .then(done, (e) => done(String(e)));""", rows)

    def typed_conditions(self, rows):
        """#gpp and #dew-point as the page shows them for each row typed."""
        return self.driver.execute_script("""
            const t = document.getElementById('temperature'), h = document.getElementById('humidity');
            return arguments[0].map(([tv, hv]) => {
                t.value = String(tv); h.value = String(hv);
                t.dispatchEvent(new Event('input', {bubbles: true}));
                h.dispatchEvent(new Event('input', {bubbles: true}));
                return [document.getElementById('gpp').textContent, document.getElementById('dew-point').textContent];
            });""", rows)

    def leaving_warns(self):
        # The driver answers the leave-page prompt itself; the page's asking
        # for it is what it does.
        return self.driver.execute_script(
            "const e = new Event('beforeunload', {cancelable: true}); window.dispatchEvent(e); return e.defaultPrevented;")

    def network(self, offline=False, blocked=()):
        self.driver.execute_cdp_cmd('Network.enable', {})
        self.driver.execute_cdp_cmd('Network.setBlockedURLs', {'urls': list(blocked)})
        self.driver.execute_cdp_cmd('Network.emulateNetworkConditions', {
            'offline': offline, 'latency': 0, 'downloadThroughput': -1, 'uploadThroughput': -1})

    def small_jpeg(self, path):
        """A JPEG drawn by the browser itself, saved to `path`."""
        data = self.driver.execute_async_script("""
            const done = arguments[0];
            const c = document.createElement('canvas'); c.width = 64; c.height = 48;
            const g = c.getContext('2d');
            g.fillStyle = '#3a7bd5'; g.fillRect(0, 0, 64, 48);
            g.fillStyle = '#f5c400'; g.fillRect(8, 8, 24, 16);
            done(c.toDataURL('image/jpeg', 0.9));""")
        with open(path, 'wb') as f:
            f.write(base64.b64decode(data.split(',', 1)[1]))


def one_decimal(value, comma=False):
    if value is None:
        return ''
    text = '%.1f' % value
    return text.replace('.', ',') if comma else text


class FieldPageTest(unittest.TestCase):
    server = None

    @classmethod
    def setUpClass(cls):
        cls.server = FieldServer(ARGS.bin)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    def setUp(self):
        # The Spanish test's phone speaks Spanish.
        self.driver = make_driver('es-ES' if self._testMethodName == 'test_spanish' else 'en-US')
        self.page = Page(self.driver, self.server)
        self.server.execute("UPDATE Company SET TemperatureUnit = 'F'")

    def tearDown(self):
        self.driver.quit()

    def test_sign_in(self):
        page = self.page
        page.sign_in(password='not the password')
        page.wait(lambda d: page.text('#message'))
        self.assertEqual(page.visible_view(), 'view-sign-in')
        self.assertEqual(page.find('#message').get_attribute('role'), 'status')
        page.type('#password', 'password')
        page.find('#sign-in').click()
        page.wait_view('jobs')
        jobs = page.data('#jobs .job', 'wip')
        self.assertTrue(jobs)
        self.assertTrue(all(wip.isdigit() for wip in jobs))
        # Looking a job up by its number finds just that one.
        wip = jobs[-1]
        page.type('#find', wip)
        page.find('#find-go').click()
        page.wait(lambda d: page.data('#jobs .job', 'wip') == [wip])
        # Signing out ends the session on the server too.
        page.find('#logout').click()
        page.wait_view('sign-in')
        status = self.driver.execute_async_script(
            "fetch('/api/session').then((r) => arguments[0](r.status));")
        self.assertEqual(status, 401)

    def test_reading_shows_the_programs_figures_as_typed(self):
        page = self.page
        page.sign_in()
        room = page.open_room()
        count = 'SELECT COUNT(*) FROM DryingAtmosphere WHERE RoomID = ? AND Temperature = 72 AND Humidity = 45'
        before = self.server.query(count, room)[0][0]
        page.type('#temperature', '72')
        page.type('#humidity', '45')
        expected = page.server_conditions([[72, 45]])[0]
        self.assertEqual(page.text('#gpp'), one_decimal(expected['gpp']))
        self.assertEqual(page.text('#dew-point'), one_decimal(expected['dewPoint']) + ' °F')
        page.find('#save-reading').click()
        page.wait(lambda d: page.pending() == '0' and page.all('#readings .reading'))
        self.assertEqual(self.server.query(count, room)[0][0], before + 1)

        # The page's figures against the program's over a table, in both units;
        # the ends of the ranges, 0 % (no dew point) and rounding edges included.
        humidities = [0, 0.5, 10, 33.3, 45, 50, 65, 87.5, 99.9, 100]
        for unit, temperatures in (('F', [-40, -39.9, 0, 31.9, 32, 50, 68.3, 72, 85.5, 100, 120, 159.9, 160]),
                                   ('C', [-40, -17.8, -0.1, 0, 10, 21.5, 26.7, 37.7, 50, 60.05, 71.1])):
            self.server.execute('UPDATE Company SET TemperatureUnit = ?', unit)
            # A reload: the page reads the unit with its session.
            page.open('#/room/%d' % room)
            self.driver.refresh()
            page.wait_view('room')
            page.wait(lambda d: page.text('.unit-symbol') == '°' + unit)
            rows = [[t, h] for t in temperatures for h in humidities]
            shown = page.typed_conditions(rows)
            program = page.server_conditions(rows)
            for row, (gpp, dew), figures in zip(rows, shown, program):
                with self.subTest(unit=unit, reading=row):
                    self.assertEqual(gpp, one_decimal(figures['gpp']))
                    # JSON has no negative zero: the desktop's "-0.0" comes as 0.
                    want_dew = one_decimal(figures['dewPoint'])
                    self.assertEqual(dew.replace('-0.0 ', '0.0 '), want_dew + ' °' + unit if want_dew else '')

    def test_photo(self):
        page = self.page
        page.sign_in()
        room = page.open_room()
        path = os.path.join(self.server.dir, 'wet wall.jpg')
        page.small_jpeg(path)
        caption = 'North wall <b>behind</b> the sofa'
        page.find('#photo-file').send_keys(path)
        page.type('#photo-caption', caption)
        page.find('#upload-photo').click()
        page.wait(lambda d: page.pending() == '0' and page.all('#photos .photo:not(.queued)'))
        # Its thumbnail from the server, and the typed caption as text.
        shown = page.wait(lambda d: d.execute_script("""
            const p = document.querySelector('#photos .photo:not(.queued)'), i = p.querySelector('img');
            return i.complete && i.naturalWidth > 0 &&
                [p.querySelector('.caption').textContent, p.querySelectorAll('b').length];"""))
        self.assertEqual(shown, [caption, 0])
        self.assertEqual(self.server.query(
            'SELECT COUNT(*) FROM JobFile WHERE RoomID = ? AND Caption = ?', room, caption)[0][0], 1)

    def test_entry_made_offline_is_sent_once(self):
        page = self.page
        page.sign_in()
        room = page.open_room(affected=False)
        count = 'SELECT COUNT(*) FROM DryingAtmosphere WHERE RoomID = ? AND Temperature = 68.4 AND Humidity = 51'
        before = self.server.query(count, room)[0][0]
        self.assertTrue(page.find('#offline').get_attribute('hidden') is not None)
        page.network(offline=True)
        page.type('#temperature', '68.4')
        page.type('#humidity', '51')
        page.find('#save-reading').click()
        page.wait(lambda d: page.pending() == '1')
        page.wait(lambda d: page.find('#offline').is_displayed())
        # Signal back, but the sends still fail: the entry waits, and survives
        # a reload, which warns first.
        page.network(offline=False, blocked=['*/api/readings*'])
        time.sleep(1)
        self.assertEqual(page.pending(), '1')
        self.assertTrue(page.leaving_warns())
        self.driver.refresh()
        page.wait_view('room')
        self.assertEqual(page.pending(), '1')
        self.assertEqual(self.server.query(count, room)[0][0], before)
        # Through: sent once, by the page's own retry.
        page.network(offline=False)
        page.wait(lambda d: page.pending() == '0', timeout=30)
        page.wait(lambda d: not page.find('#offline').is_displayed())
        self.assertFalse(page.leaving_warns())
        time.sleep(6)
        self.assertEqual(self.server.query(count, room)[0][0], before + 1)

    def test_spanish(self):
        page = self.page
        # Chosen from the phone's language.
        page.open()
        page.wait_view('sign-in')
        self.assertEqual(self.driver.find_element(By.TAG_NAME, 'html').get_attribute('lang'), 'es')
        self.assertEqual(page.text('#sign-in'), 'Entrar')
        # Switched by hand, and kept.
        Select(page.find('#lang')).select_by_value('en')
        self.assertEqual(self.driver.find_element(By.TAG_NAME, 'html').get_attribute('lang'), 'en')
        self.assertEqual(page.text('#sign-in'), 'Sign in')
        page.open()
        self.assertEqual(page.text('#sign-in'), 'Sign in')
        Select(page.find('#lang')).select_by_value('es')
        page.sign_in()
        room = page.open_room()
        self.assertEqual(page.text('#save-reading'), 'Guardar lectura')
        self.assertEqual(page.text('#air-title'), 'Ambiente')
        # A decimal comma read right, and figures shown with one.
        count = 'SELECT COUNT(*) FROM DryingAtmosphere WHERE RoomID = ? AND Temperature = 21.5 AND Humidity = 40'
        before = self.server.query(count, room)[0][0]
        page.type('#temperature', '21,5')
        page.type('#humidity', '40')
        expected = page.server_conditions([[21.5, 40]])[0]
        self.assertEqual(page.text('#gpp'), one_decimal(expected['gpp'], comma=True))
        self.assertEqual(page.text('#dew-point'), one_decimal(expected['dewPoint'], comma=True) + ' °F')
        page.find('#save-reading').click()
        page.wait(lambda d: page.pending() == '0' and page.all('#readings .reading'))
        self.assertEqual(self.server.query(count, room)[0][0], before + 1)


def screenshots(folder):
    """Each view at phone size in both languages, for a person to look at."""
    os.makedirs(folder, exist_ok=True)
    server = FieldServer(ARGS.bin)
    try:
        for language in ('en', 'es'):
            driver = make_driver(language)
            page = Page(driver, server)

            def shot(name):
                time.sleep(0.3)
                driver.save_screenshot(os.path.join(folder, '%s-%s.png' % (language, name)))

            try:
                page.sign_in(password='wrong')
                page.wait(lambda d: page.text('#message'))
                shot('1-sign-in')
                page.type('#password', 'password')
                page.find('#sign-in').click()
                page.wait_view('jobs')
                shot('2-jobs')
                page.find('#jobs .job button').click()
                page.wait_view('job')
                page.wait(lambda d: page.all('#rooms .room'))
                shot('3-job')
                page.all('#rooms .room:not(.outside) button')[0].click()
                page.wait_view('room')
                page.wait(lambda d: page.text('#room-name'))
                page.type('#temperature', '72,5' if language == 'es' else '72.5')
                page.type('#humidity', '48')
                page.find('#save-reading').click()
                page.wait(lambda d: page.pending() == '0' and page.all('#readings .reading'))
                path = os.path.join(server.dir, 'photo.jpg')
                page.small_jpeg(path)
                page.find('#photo-file').send_keys(path)
                page.type('#photo-caption', 'Kitchen floor')
                page.find('#upload-photo').click()
                page.wait(lambda d: page.pending() == '0' and page.all('#photos .photo'))
                page.network(offline=True)
                page.type('#temperature', '70')
                page.type('#humidity', '50')
                page.find('#save-reading').click()
                page.wait(lambda d: page.pending() == '1')
                page.type('#temperature', '71')
                page.type('#humidity', '49')
                shot('4-room')
                for section in ('points-card', 'photos-title', 'units-title'):
                    driver.execute_script("document.getElementById(arguments[0]).scrollIntoView()", section)
                    shot('5-room-' + section)
                page.find('#pending-button').click()
                page.wait_view('queue')
                shot('6-queue')
                page.network(offline=False)
                page.wait(lambda d: page.pending() == '0', timeout=30)
            finally:
                driver.quit()
    finally:
        server.stop()
    print('screenshots in', folder)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument('--bin', default=os.path.join(os.path.dirname(__file__), '..', '..', 'build', 'bin'))
    parser.add_argument('--screenshots', metavar='DIR')
    ARGS, rest = parser.parse_known_args()
    missing = [p for p in (CHROMIUM, CHROMEDRIVER) if not os.access(p, os.X_OK)]
    if webdriver is None or missing:
        print('skipped: needs chromium, chromium-driver and python3-selenium (scripts/deps)')
        return SKIP
    if ARGS.screenshots:
        screenshots(ARGS.screenshots)
        return 0
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


if __name__ == '__main__':
    sys.exit(main())
