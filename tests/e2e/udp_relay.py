#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# A poor network between a joiner and its host, all on 127.0.0.1: datagrams
# to port LISTEN go on to port HOST and the answers come back, a tenth of
# them lost (a fixed draw) and the rest 50 ms late. Stops after SECONDS.
#   udp_relay.py LISTEN HOST SECONDS
import heapq, random, select, socket, sys, time

listen, host, seconds = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3])
draw = random.Random(17)
front = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
front.bind(("127.0.0.1", listen))
back = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
back.bind(("127.0.0.1", 0))
joiner, late, count = None, [], 0
end = time.monotonic() + seconds
while time.monotonic() < end:
    wait = max(0.0, late[0][0] - time.monotonic()) if late else 0.01
    for sock in select.select([front, back], [], [], min(wait, 0.01))[0]:
        data, sender = sock.recvfrom(65536)
        if sock is front:
            joiner = sender
        count += 1
        if draw.random() >= 0.1:
            heapq.heappush(late, (time.monotonic() + 0.05, count, sock is front, data))
    while late and late[0][0] <= time.monotonic():
        _, _, upstream, data = heapq.heappop(late)
        if upstream:
            back.sendto(data, ("127.0.0.1", host))
        elif joiner:
            front.sendto(data, joiner)
