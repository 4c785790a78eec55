#!/usr/bin/env python3
"""Takes the README's pictures of derov.exe: the main window with three rules
(docs/main-window.png), the main window with rules running (docs/main-window-running.png)
and the tip window (docs/tip-window.png).

Run it through scripts/screenshots.sh, which builds derov.exe and provides the Wine session.
The program runs in a Wine virtual desktop (there Wine draws the window frames) against
the scripted local server, whose pages change from fetch to fetch so that rules fire.
"""

import os
import subprocess
import sys
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(TOP, "bench"))
import wine_bench as bench  # noqa: E402
from wine_bench import x_window  # noqa: E402

DESKTOP = (1000, 600)
# Where the program puts its windows on that desktop: the main window (778x439 with its
# frame) in the middle, its client area 3 px in and 22 px down; the tip window (217x76)
# centred at the top, 30 px down.
MAIN = ((DESKTOP[0] - 778) // 2, (DESKTOP[1] - 439) // 2, 778, 439)
CLIENT = (MAIN[0] + 3, MAIN[1] + 22)
TIP = ((DESKTOP[0] - 217) // 2, 30, 217, 76)
POPUP_BOX = (630, 80)  # 选择框1 "有变化时弹窗提醒我" in the client area


def utf8_page(body, status=200):
    return {"status": status, "headers": [["Content-Type", "text/html; charset=utf-8"]],
            "text": f"<html><body>{body}</body></html>"}


def rule(number, name, path, base, plv, kind, saverule, isrep=1, cut=("", ""), val_old="0"):
    isjiequ = 1 if cut[0] else 0
    return (number, name, f"{base}{path}", 0, "", 0, "", plv, isjiequ, cut[0], cut[1], kind,
            saverule, val_old, isrep, "24/12/11  09:00", 0, 1)


def script_pages(server):
    """The pages and the rules that watch them; returns the rules."""
    base = server.base
    notice = ("<ul id=n>", "</ul>")
    server.call("/_control/script", {"path": "/jobs", "responses": [
        utf8_page("<h2>招聘</h2><p>前端工程师 2 名</p>")]})
    server.call("/_control/script", {"path": "/weather", "responses": [
        utf8_page("<p id=w>晴 12~20℃</p>")]})
    server.call("/_control/script", {"path": "/notice", "responses": [
        utf8_page(f"{notice[0]}<li>春节放假通知</li>{notice[1]}"),
        utf8_page(f"{notice[0]}<li>春节放假通知</li>{notice[1]}"),
        utf8_page(f"{notice[0]}<li>系统升级公告</li><li>春节放假通知</li>{notice[1]}")]})
    counts = [1, 2, 2, 3, 4, 4, 5, 6]
    server.call("/_control/script", {"path": "/gpu", "responses": [
        utf8_page("".join(f"<li>RTX 显卡 降价 {n}</li>" for n in range(count)))
        for count in counts]})
    prices = [5299, 4999, 4999, 4899, 4799, 4799, 4699]
    server.call("/_control/script", {"path": "/laptop", "responses": [
        utf8_page(f"<b id=p>{price}</b>") for price in prices]})
    server.call("/_control/script", {"path": "/forum", "responses": [
        utf8_page("签到成功"), utf8_page("服务维护中", status=503), utf8_page("签到成功")]})
    server.call("/_control/script", {"path": "/push/KEY123456.send", "responses": [
        {"headers": [["Content-Type", "application/json"]],
         "body": '{"code":0,"message":"success"}'}]})
    return [
        rule(1, "招聘信息", "/jobs", base, 5, 2, "21{[招聘]}", isrep=0),
        rule(2, "天气预报", "/weather", base, 3, 1, "13", cut=("<p id=w>", "</p>"),
             val_old="晴 12~20℃"),
        rule(3, "官网公告", "/notice", base, 2, 1, "13", cut=notice),
        rule(4, "显卡降价", "/gpu", base, 2, 2, "23{[降价]}"),
        rule(5, "笔记本价格", "/laptop", base, 2, 3, "32{0}[5000]",
             cut=("<b id=p>", "</b>"), val_old="5299"),
        rule(6, "论坛签到", "/forum", base, 3, 1, "11", val_old="页面ok"),
    ]


def capture(window, box, path):
    x, y, width, height = box
    geometry = f"{width}x{height}+{x}+{y}"
    subprocess.run(["import", "-window", str(window), "-crop", geometry, "+repage", "-strip",
                    f"PNG8:{path}"], check=True)
    print(f"screenshots: {os.path.relpath(path, TOP)}")


def click(desktop, x, y):
    x_window.click(desktop, CLIENT[0] + x, CLIENT[1] + y)


def start_on_desktop(folder, name):
    program = bench.Program(folder, ("explorer", f"/desktop={name},{DESKTOP[0]}x{DESKTOP[1]}",
                                     "derov.exe"))
    desktop = x_window.find_window(program.pid, "Wine", timeout=30)
    if desktop is None:
        sys.exit("screenshots: no Wine desktop appeared")
    time.sleep(3)  # the main window is up and its list loaded
    return program, desktop


def three_rules(server):
    """The main window as the user finds it: a waiting, a finished and a disabled rule."""
    base = server.base
    waiting = rule(1, "显卡降价", "/gpu", base, 120, 2, "22{[缺货]}", isrep=1)
    finished = rule(2, "汇率提醒", "/rate", base, 300, 3, "31{7.3}[0]", isrep=0, val_old="7.21")
    disabled = rule(3, "官网公告", "/notice", base, 600, 1, "13")
    finished = finished[:-2] + (1, 1)
    disabled = disabled[:-2] + (0, 0)
    folder = bench.make_folder("screenshots-idle", [waiting, finished, disabled], {})
    program, desktop = start_on_desktop(folder, "derov-idle")
    capture(desktop, MAIN, os.path.join(TOP, "docs", "main-window.png"))
    program.process.kill()


def main():
    if not os.environ.get("DISPLAY"):
        sys.exit("no X display: run it through scripts/screenshots.sh")
    server = bench.TestServer()
    try:
        three_rules(server)
        rules = script_pages(server)
        ini = {"弹窗提醒": "0", "微信提醒": "1-KEY123456", "推送地址": f"{server.base}/push/"}
        folder = bench.make_folder("screenshots", rules, ini)
        program, desktop = start_on_desktop(folder, "derov")
        click(desktop, *bench.START_STOP)
        time.sleep(13)  # several cycles: counts, statuses and log lines
        capture(desktop, MAIN, os.path.join(TOP, "docs", "main-window-running.png"))

        click(desktop, *POPUP_BOX)  # tips on from the next firing
        # The tip belongs to derov.exe, a process of its own under the desktop's explorer.
        tip = x_window.find_window(None, "^dovivi$", timeout=20, poll=0.05)
        if tip is None:
            sys.exit("screenshots: no tip window appeared")
        time.sleep(0.6)
        # The tip with what lies under it: the top of the desktop and of the main window.
        context = (MAIN[0], TIP[1] - 15, MAIN[2], TIP[3] + 150)
        capture(desktop, context, os.path.join(TOP, "docs", "tip-window.png"))
        click(desktop, *bench.START_STOP)
    finally:
        server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
